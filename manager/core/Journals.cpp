#include "Journals.h"

#include <cstdio>

#include "meter34/MeterStructures.h"
#include "meter34/Structures.h"

namespace manager::core {

using meter34::GetU16LE;
using meter34::GetU32LE;

const std::array<const char*, kJournalCount> kJournalNames = {
    "Журнал включения питания",
    "Журнал изменения напряжения",
    "Журнал воздействия магнита    ",  // the item has always ended in four blanks
    "Журнал воздействия радио поля",
    "Журнал открытия корпуса",
    "Журнал открытия клеммной крышки",
    "Журнал доступа к счётчику",
    "Журнал ошибок",
    "Журнал стирания признака воздействия",
};

namespace {

constexpr Column kJournalColumns[] = {{"Дата и время", 130}, {"Тип события", 150}};
constexpr Column kClockColumns[] = {{"Код оператора", 95}, {"До смены", 130}, {"Установлено", 130}};
constexpr Column kRatioColumns[] = {{"Дата время смены", 130}, {"KI", 75}, {"KU", 75}, {"T1", 75},
                                    {"T2", 75},               {"T3", 75}, {"T4", 75}};

// The text of a code from a short list, or the whole code in decimal.
std::string Named(unsigned value, std::initializer_list<const char*> names, std::uint8_t code) {
    return value < names.size() ? std::string(names.begin()[value]) : std::to_string(code);
}

const char* Operator(std::uint8_t code) {
    switch (code) {
        case 0: return "Корректировка";
        case 1: return "Администратор";
        case 2: return "Пользователь";
        default: return "";
    }
}

}  // namespace

int JournalRecords(std::uint16_t meterVersion) { return meterVersion == 100 ? 50 : 16; }

std::string EventText(int journal, std::uint8_t e) {
    const unsigned low = e & 0x0F;
    switch (journal) {
        case 0: return Named(low, {"Отключение", "Включение"}, e);
        case 1:
            // The high half of the code is the phase: 0 A, 1 B, 2 C.
            return std::string("Фаза ") + static_cast<char>('A' + (e >> 4)) + ": " +
                   Named(low, {"Пониженное", "Нормальное", "Повышенное", "Отсутствует"}, e);
        case 2:
        case 3: return Named(e, {"Окончание", "Начало"}, e);
        case 4:
        case 5: return Named(e, {"Закрытие", "Открытие"}, e);
        case 6:
        case 8: return e == 1 ? "Администратор" : e == 2 ? "Пользователь" : std::to_string(e);
        case 7: return meter34::ErrorList(e);
        default: return std::to_string(e);
    }
}

std::string PackedTimeText(std::uint32_t packed, const char* emptyText, const common::FormatSettings& formats,
                           common::DateTime& moment) {
    moment = {};
    if (packed == 0) return emptyText;
    moment = meter34::UnpackDateTime32(packed);
    if (moment.isEmpty()) {
        char text[48];
        std::snprintf(text, sizeof text, "Неверная дата (0x%08X)", static_cast<unsigned>(packed));
        return text;
    }
    return formats.DateAndTime(moment);
}

bool ReadEventJournal(OperationContext& ctx, StatisticsTable& table, int journal) {
    table.Reset(kJournalColumns);
    if (journal < 0 || journal >= kJournalCount) {
        ctx.StatusText = "Ошибка: нет журнала " + std::to_string(journal);
        return false;
    }
    std::uint8_t data[256];
    if (!ctx.ReadStructure(11, static_cast<std::uint16_t>(journal), 5, data, "Ошибка: ")) return false;
    const int records = JournalRecords(ctx.Meter().MeterVersion);
    bool ok = true;
    int r = 1;
    for (int k = journal * records; k < journal * records + records; ++k) {
        if (!ctx.ReadStructure(12, static_cast<std::uint16_t>(k), 7, data, "Ошибка: ")) {
            ok = false;
            break;
        }
        common::DateTime moment;
        std::string when = PackedTimeText(GetU32LE(data + 1), "Нет данных", ctx.Formats, moment);
        table.SetCell(0, r, std::move(when), moment);
        // An entry without a time is empty: its code means nothing.
        if (GetU32LE(data + 1) != 0) table.SetCell(1, r, EventText(journal, data[0]));
        table.SetRowCount(++r);
        ctx.Hooks.ProcessEvents();
    }
    if (ok) ctx.StatusText = "Выполнено!";
    table.SortRowsByDate();
    return ok;
}

bool ReadTimeChangeHistory(OperationContext& ctx, StatisticsTable& table) {
    table.Reset(kClockColumns);
    std::uint8_t data[256];
    if (!ctx.ReadStructure(17, 0, 50, data, "Ошибка: ")) return false;
    for (int i = 0; i < 5; ++i) {
        const std::uint8_t* e = data + 3 + 9 * i;
        const int r = i + 1;
        common::DateTime moment;
        table.SetCell(0, r, Operator(e[0]));
        table.SetCell(1, r, PackedTimeText(GetU32LE(e + 1), "Отсутствует", ctx.Formats, moment));
        table.SetCell(2, r, PackedTimeText(GetU32LE(e + 5), "Отсутствует", ctx.Formats, moment));
        table.SetRowCount(r + 1);
        ctx.Hooks.ProcessEvents();
    }
    return ctx.Succeed("Выполнено");
}

bool ReadRatioChangeHistory(OperationContext& ctx, StatisticsTable& table) {
    table.Reset(kRatioColumns);
    std::uint8_t data[256];
    bool ok = true;
    for (int i = 0; i < 16 && ok; ++i) {
        const int r = i + 1;
        const auto index = static_cast<std::uint16_t>(i);
        if (!ctx.ReadStructure(30, index, 10, data, "Ошибка: ")) {
            ok = false;
            break;
        }
        const std::uint32_t packed = GetU32LE(data + 4);
        common::DateTime moment;
        std::string when = PackedTimeText(packed, "Отсутствует", ctx.Formats, moment);
        table.SetCell(0, r, std::move(when), moment);
        if (packed == 0) {
            // An empty entry: no energies to ask for.
            for (int c = 1; c <= 6; ++c) table.SetCell(c, r, "Н/Д");
        } else {
            table.SetCell(1, r, std::to_string(GetU16LE(data)));
            table.SetCell(2, r, std::to_string(GetU16LE(data + 2)));
            if (!ctx.ReadStructure(31, index, 18, data, "Ошибка: ")) {
                ok = false;
                break;
            }
            for (int t = 0; t < 4; ++t) table.SetCell(3 + t, r, std::to_string(GetU32LE(data + 4 * t)));
        }
        table.SetRowCount(r + 1);
        ctx.Hooks.ProcessEvents();
    }
    if (ok) ctx.StatusText = "Выполнено";
    table.SortRowsByDate();
    return ok;
}

}  // namespace manager::core
