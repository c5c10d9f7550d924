#pragma once
// What the dialogs of the administrative and service menus do with the
// meter: each reads its values (never inside access, no box on success) and
// writes them (inside access where the meter wants it). The window's dialogs
// and the records of quorvane-cli run the same operations.

#include <string>

#include "manager/core/Operation.h"
#include "manager/core/ServiceRecords.h"

namespace manager::core {

// One dialog: its read and write with their runner titles and texts.
template <class Values>
struct DialogCommand {
    const char* readTitle;  // nullptr: the dialog does not read
    bool (*read)(OperationContext&, Values&);
    const char* writeTitle;  // nullptr: nothing is written
    bool writeAccess;        // the write runs inside an access session
    bool writeBox;           // an information box with the result text after the write
    bool (*write)(OperationContext&, const Values&);
    const char* writeError;  // the write's error prefix
    // Checks the values before anything is sent (before access is opened):
    // "" or the reason, which follows writeError.
    std::string (*check)(const Values&);
};

// The operations; a read fails with its error prefix and the meter's reason,
// or "неверная длина ответа (N байт вместо M)" for a short structure.
bool ReadSpeed(OperationContext& ctx, SpeedValues& v);  // the channel of v.ChannelNumberComboBox
bool WriteSpeed(OperationContext& ctx, const SpeedValues& v);
bool ReadVoltage(OperationContext& ctx, VoltageValues& v);
bool WriteVoltage(OperationContext& ctx, const VoltageValues& v);
bool ReadContactorTariffs(OperationContext& ctx, ContactorTariffValues& v);
bool WriteContactorTariffs(OperationContext& ctx, const ContactorTariffValues& v);
// The APN record, then the TCP record; stops at the first that fails.
bool ReadInternet(OperationContext& ctx, InternetValues& v);
bool WriteInternet(OperationContext& ctx, const InternetValues& v);
bool ReadFunctions(OperationContext& ctx, FunctionsValues& v);
bool WriteFunctions(OperationContext& ctx, const FunctionsValues& v);
bool ReadPulses(OperationContext& ctx, PulsesValues& v);
bool WritePulses(OperationContext& ctx, const PulsesValues& v);
bool ReadCalibration(OperationContext& ctx, CalibrationValues& v);
bool ReadLoraPower(OperationContext& ctx, LoraPowerValues& v);
bool WriteLoraPower(OperationContext& ctx, const LoraPowerValues& v);
// Every write refuses values it cannot send (the check of its dialog) before
// its exchange; the dialogs check before access is opened already.
bool WriteUserPassword(OperationContext& ctx, const UserPasswordValues& v);
bool WriteKeys(OperationContext& ctx, const KeysValues& v);
std::string CheckUserPassword(const UserPasswordValues& v);
std::string CheckKeys(const KeysValues& v);

extern const DialogCommand<UserPasswordValues> kUserPasswordDialog;
extern const DialogCommand<KeysValues> kKeysDialog;
extern const DialogCommand<SpeedValues> kSpeedDialog;
extern const DialogCommand<VoltageValues> kVoltageDialog;
extern const DialogCommand<ContactorTariffValues> kContactorTariffDialog;
extern const DialogCommand<InternetValues> kInternetDialog;
extern const DialogCommand<FunctionsValues> kFunctionsDialog;
extern const DialogCommand<PulsesValues> kPulsesDialog;
extern const DialogCommand<CalibrationValues> kCalibrationDialog;
extern const DialogCommand<LoraPowerValues> kLoraPowerDialog;

}  // namespace manager::core
