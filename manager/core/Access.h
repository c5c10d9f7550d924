#pragma once
// The access session around changing operations: opened with the group
// "Параметры доступа" of the first page (level, password, keys A and B),
// closed again at the end of the same operation, whatever happened.

#include <string>

#include "manager/core/Operation.h"

namespace manager::core {

// The four fields as the user typed them: decimal whole numbers; the level
// is sent as one byte, the password and the keys as 32-bit values (typed
// signed or unsigned).
struct AccessValues {
    std::string StartSeanseLevelComboBox = "1";  // items "1", "2"
    std::string StartSeansePasswordEdit = "1";
    std::string StartSeanceKeyAEdit = "1";
    std::string StartSeanceKeyBEdit = "1";
};

// The fields as numbers, or false with the reason (which field, what is wrong).
struct AccessNumbers {
    std::uint8_t level = 0;
    std::int32_t password = 0, keyA = 0, keyB = 0;
};
bool ParseAccess(const AccessValues& values, AccessNumbers& out, std::string& reason);

// Opens the session (AUTH_0, AUTH_1, AUTH_2). On failure StatusText is
// "Ошибка открытия доступа: " and the reason; a field that is not a number
// fails before anything is sent.
bool BeginAccess(OperationContext& ctx, const AccessValues& values);
// Closes the session; never fails and never changes StatusText.
void EndAccess(OperationContext& ctx);

// BeginAccess, the operation if that succeeded, and EndAccess in every case
// where anything was sent (also when the operation throws). The result is
// false when access failed, else the operation's.
bool WithAccess(OperationContext& ctx, const AccessValues& values, const MeterOperation& operation);

}  // namespace manager::core
