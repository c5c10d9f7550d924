#include "MeterStructures.h"

#include <cstdio>
#include <cstring>

#include "Structures.h"

namespace meter34 {

namespace {
constexpr StructureInfo kStructures[] = {
    {9, 50, true, 12, "тарифное расписание месяца"},
    {11, 5, false, 9, "заголовок журнала событий"},
    {12, 7, false, 0, "запись журнала событий"},
    {16, 4, true, 30, "праздничный день"},
    {17, 50, false, 1, "история коррекций времени"},
    {18, 8, true, 1, "поверочные импульсы"},
    {23, 6, true, 1, "пороги напряжений контактора"},
    {25, 32, true, 1, "имя точки доступа (APN)"},
    {26, 26, true, 1, "адрес TCP-сервера и GPRS"},
    {27, 6, true, 1, "управление контактором по тарифам"},
    {28, 6, true, 1, "дополнительные функции"},
    {30, 10, false, 16, "изменение коэффициентов трансформации"},
    {31, 18, false, 16, "энергии при изменении коэффициентов"},
};
}  // namespace

const StructureInfo* FindStructure(std::uint8_t number) {
    for (const auto& s : kStructures)
        if (s.Number == number) return &s;
    return nullptr;
}

const StructureInfo* StructureCatalogue(int& count) {
    count = static_cast<int>(sizeof kStructures / sizeof kStructures[0]);
    return kStructures;
}

int PhaseValueBytes(std::uint8_t mask) {
    int n = 0;
    for (int bit = 0; bit < 6; ++bit)
        if (mask & (1 << bit)) n += bit < 4 ? 4 : 2;
    return n;
}

bool DecodePhaseValues(const std::uint8_t* reply, int length, PhaseValues& out) {
    out = PhaseValues{};
    if (length < 5) return false;
    int need = 5;
    for (int ph = 0; ph < 3; ++ph) need += PhaseValueBytes(reply[2 + ph]);
    if (length < need) return false;
    int pos = 5;
    for (int ph = 0; ph < 3; ++ph) {
        PhaseBlock& b = out.Phase[ph];
        b.Mask = reply[2 + ph];
        for (int bit = 0; bit < 6; ++bit) {
            if (!(b.Mask & (1 << bit))) continue;
            const std::uint8_t* p = reply + pos;
            switch (bit) {
                case 0: b.P = static_cast<std::int32_t>(GetU32LE(p)); break;
                case 1: b.Q = static_cast<std::int32_t>(GetU32LE(p)); break;
                case 2: b.U = static_cast<std::int32_t>(GetU32LE(p)); break;
                case 3: b.I = static_cast<std::int32_t>(GetU32LE(p)); break;
                case 4: b.F = GetU16LE(p); break;
                case 5: b.K = static_cast<std::int16_t>(GetU16LE(p)); break;
            }
            pos += bit < 4 ? 4 : 2;
        }
    }
    return true;
}

}  // namespace meter34

namespace meter34 {

std::string Hex2(unsigned value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02X", value);
    return buf;
}

std::string ErrorList(std::uint8_t bits) {
    std::string errors;
    for (int b = 0; b < 8; ++b)
        if (bits & (1 << b)) errors += Hex2(1u << b) + "h ";
    return errors.empty() ? "Отсутствуют" : errors;
}

namespace {
std::string Contactor(std::uint8_t v) {
    switch (v) {
        case 0: return "ВЫКЛ";
        case 1: return "ВКЛ";
        case 255: return "ОТСУТСТВУЕТ";
        default: return "";
    }
}
}  // namespace

CaptionRows StateRows(const MeterState& s, std::uint16_t meterVersion) {
    CaptionRows rows;
    rows.emplace_back("Версия", std::to_string(meterVersion));
    rows.emplace_back("Субверсия", std::to_string(s[0]));
    rows.emplace_back("Контактор", Contactor(s[1]));
    rows.emplace_back("Скорость инт1", Hex2(s[2]));
    rows.emplace_back("Скорость инт2", Hex2(s[3]));
    rows.emplace_back("LCD mode", Hex2(GetU16LE(s.data() + 4)));
    rows.emplace_back("Текущий тариф", std::to_string(s[6] + 1));
    rows.emplace_back("Текущие ошибки", ErrorList(s[7]));
    rows.emplace_back("Всего тарифов", std::to_string(s[9]));
    rows.emplace_back("Типы энергий", Hex2(GetU16LE(s.data() + 10)));
    return rows;
}

CaptionRows StatusRows(const MeterStatus& s) {
    CaptionRows rows;
    rows.emplace_back("LCD mode 2", Hex2(GetU16LE(s.data())));
    rows.emplace_back("Внеш. контактор", Contactor(s[2]));
    rows.emplace_back("Скорость инт3", Hex2(s[3]));
    static const std::pair<int, const char*> kReasons1[] = {
        {0x0001, "По интерфейсу"},           {0x0002, "По превышению мощности А+"},
        {0x0004, "По воздействию магнит. поля"}, {0x0008, "По воздействию радио поля"},
        {0x0010, "По напряжению"},            {0x0020, "По тарифу"},
        {0x0040, "По оплате"},                {0x1000, "По превышению мощности А-"},
        {0x2000, "По превышению тока"}};
    const unsigned off = s[4] | (s[5] << 8);
    std::string reason = "-";
    for (const auto& [bit, text] : kReasons1)
        if (off & static_cast<unsigned>(bit)) reason = text;
    rows.emplace_back("Откл контактора", reason);
    static const char* kPhase[3] = {"A", "B", "C"};
    static const char* kU[4] = {"Ниже лимита", "Норма", "Выше лимита", ""};
    for (int p = 0; p < 3; ++p) rows.emplace_back(std::string("Сост. фазы ") + kPhase[p] + " по U", kU[(s[6] >> (2 * p)) & 3]);
    for (int p = 0; p < 3; ++p)
        rows.emplace_back(std::string("Сост. фазы ") + kPhase[p] + " по I", (s[7] & (1 << p)) ? "Выше лимита" : "Норма");
    for (int p = 0; p < 3; ++p)
        rows.emplace_back(std::string("Сост. фазы ") + kPhase[p] + " по A+", (s[8] & (1 << p)) ? "Выше лимита A+" : "Норма");
    for (int p = 0; p < 3; ++p)
        rows.emplace_back(std::string("Сост. фазы ") + kPhase[p] + " по A-",
                          (s[8] & (1 << (p + 3))) ? "Выше лимита A-" : "Норма");
    static const std::pair<int, const char*> kReasons2[] = {
        {0x01, "Вкл. по тарифу 1"}, {0x02, "Вкл. по тарифу 2"}, {0x04, "Вкл. по тарифу 3"},
        {0x08, "Вкл. по тарифу 4"}, {0x20, "Вкл. по интерфейсу"}, {0x40, "Откл. по интерфейсу"}};
    reason = "-";
    for (const auto& [bit, text] : kReasons2)
        if (s[9] & bit) reason = text;
    rows.emplace_back("Откл внешн.контактора", reason);
    return rows;
}

}  // namespace meter34
