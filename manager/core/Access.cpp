#include "Access.h"

#include "common/core/IniFile.h"

namespace manager::core {

namespace {

constexpr char kAccessError[] = "Ошибка открытия доступа: ";

bool Field(const std::string& text, const char* name, long long lo, long long hi, long long& out,
           std::string& reason) {
    long long v = 0;
    if (!common::ParseDecimal(text, v)) {
        reason = std::string("в поле «") + name + "» не целое число: «" + text + "»";
        return false;
    }
    if (v < lo || v > hi) {
        reason = std::string("значение поля «") + name + "» вне диапазона " + std::to_string(lo) + ".." +
                 std::to_string(hi);
        return false;
    }
    out = v;
    return true;
}

}  // namespace

bool ParseAccess(const AccessValues& values, AccessNumbers& out, std::string& reason) {
    // Keys and passwords are 32-bit values, typed either signed or unsigned.
    constexpr long long lo = -2147483648LL, hi = 4294967295LL;
    long long keyA = 0, keyB = 0, password = 0, level = 0;
    if (!Field(values.StartSeanceKeyAEdit, "Ключ А", lo, hi, keyA, reason) ||
        !Field(values.StartSeanceKeyBEdit, "Ключ Б", lo, hi, keyB, reason) ||
        !Field(values.StartSeansePasswordEdit, "Пароль", lo, hi, password, reason) ||
        !Field(values.StartSeanseLevelComboBox, "Уровень доступа", 0, 255, level, reason))
        return false;
    out.level = static_cast<std::uint8_t>(level);
    out.password = static_cast<std::int32_t>(static_cast<std::uint32_t>(password));
    out.keyA = static_cast<std::int32_t>(static_cast<std::uint32_t>(keyA));
    out.keyB = static_cast<std::int32_t>(static_cast<std::uint32_t>(keyB));
    return true;
}

bool BeginAccess(OperationContext& ctx, const AccessValues& values) {
    AccessNumbers n;
    std::string reason;
    if (!ParseAccess(values, n, reason)) {
        ctx.StatusText = kAccessError + reason;
        return false;
    }
    if (!ctx.Meter().OpenSession(n.level, n.password, n.keyA, n.keyB)) return ctx.Fail(kAccessError);
    return true;
}

void EndAccess(OperationContext& ctx) { ctx.Meter().CloseSession(); }

bool WithAccess(OperationContext& ctx, const AccessValues& values, const MeterOperation& operation) {
    AccessNumbers n;
    std::string reason;
    // Fields that are not numbers stop the operation before anything is
    // sent, so there is no session to close either.
    if (!ParseAccess(values, n, reason)) {
        ctx.StatusText = kAccessError + reason;
        return false;
    }
    struct Closer {
        OperationContext& ctx;
        ~Closer() { EndAccess(ctx); }
    } closer{ctx};
    if (!BeginAccess(ctx, values)) return false;
    return operation(ctx);
}

}  // namespace manager::core
