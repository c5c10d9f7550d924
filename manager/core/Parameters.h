#pragma once
// The parameter blocks of the page "Параметризация": the values of its tabs
// "Основные параметры" (groups "Параметры", "Дополнительные параметры",
// "Коэффициенты") and "Параметры второй группы" as structs whose members
// carry the controls' names, with the controls' limits and defaults; the
// codecs between those values and the meter's records; and the eight block
// operations that read a record into the values or write it from them.
//
// The window binds its controls to Fields(), the command-line tool gets and
// sets the same fields by name, and the configuration file stores them under
// the same names.

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "common/core/Fields.h"
#include "manager/core/Operation.h"
#include "meter34/MeterStructures.h"

namespace manager::core {

// ---- "Параметры": the main parameter record (command 0x06, 14 bytes) ----

struct MainParameterValues {
    static constexpr int kDisplayRows = 17, kContactorRows = 10;

    int InfoTimeEdit = 3;          // "Время смены показаний (сек)"
    int MaxPowerEdit = 2;          // "Максимальная мощность (Вт)"; the record holds 0.01 W
    int MaxPowerTimeEdit = 0;      // "Время превышения макс. мощности (сек)"
    bool LCDCheckListBox[kDisplayRows] = {};                        // "Отображать на дисплее"
    bool ContactorControlCheckListBox[kContactorRows] = {};         // "Управление контактором"
    int ContactorOnTimeEdit = 15;  // "Время включения контактора (сек)"
    bool ReinitCheckBox = false;   // "Разрешить перезапуск модуля через (мин)"
    int ReinitTimeEdit = 30;       // minutes

    // In the order of the configuration file's section "Parameters".
    common::Fields Fields();
};

// Row texts of the two check lists, in row order.
std::span<const char* const> DisplayRowTexts();    // LCDCheckListBox
std::span<const char* const> ContactorRowTexts();  // ContactorControlCheckListBox

meter34::MainParameterRecord EncodeMainParameters(const MainParameterValues& v);
void DecodeMainParameters(const meter34::MainParameterRecord& r, MainParameterValues& v);

// ---- "Дополнительные параметры" (command 0x0D, 8 bytes) ----

struct AdditionalParameterValues {
    int SecAutoCorrectTimeEdit = 0;  // "Секунд авто коррекции времени"
    int PeriodComboBox = -1;         // "Период интеграции": no item until a read or a load
    int TimeShiftComboBox = 0;       // "Переход на летнее/зимнее время": "Нет"
    std::string SummerDateEdit = "01.01";  // "dd.mm"
    int SummerTimeEdit = 2;                // hour of the change
    int SummerShiftEdit = 0;               // "Сдвиг (ч)"
    std::string WinterDateEdit = "01.01";
    int WinterTimeEdit = 2;
    int WinterShiftEdit = 0;

    // In the order of the configuration file's section "DopParameters".
    common::Fields Fields();
};

std::span<const char* const> PeriodItems();     // "1 минута" .. "1 час": bits 5-7 of byte 1
std::span<const char* const> TimeShiftItems();  // "Нет", "По таблице", "Автоматически"

// false with the reason (nothing to send) when no integration period is
// chosen or a change date is not a day and month of the year 2000.
bool EncodeAdditionalParameters(const AdditionalParameterValues& v, meter34::AdditionalParameterRecord& r,
                                std::string& reason);
void DecodeAdditionalParameters(const meter34::AdditionalParameterRecord& r, AdditionalParameterValues& v);

// ---- "Коэффициенты": the transformation ratios (command 0x1F) ----

struct TransformationRatioValues {
    int CurrentRatioEdit = 1;  // "По току"
    int VoltageRatioEdit = 1;  // "По напр."
    // The two labels of the group: what the meter says about the changes.
    std::string CurrentVoltageRatioChangesCountLabel = "Изменений";
    std::string CurrentVoltageRatioLastDateLabel = "Дата изменения";

    common::Fields Fields();
};

// ---- "Параметры второй группы" (command 0x0E, 26 bytes) ----

struct SecondGroupParameterValues {
    static constexpr int kDisplayRows = 3, kExternalContactorRows = 6;

    bool LCD2CheckListBox[kDisplayRows] = {};  // "Отображать на дисплее"
    int Max_AminusEdit = 2;        // "Максимальная мощность А- (Вт)"; the record holds 0.01 W
    int Max_IEdit = 2;             // "Максимальный ток (А)"; the record holds mA
    int Max_AminusTimeEdit = 0;    // "Время превышения макс. мощности А-(сек)"
    int Max_AminusOnTimeEdit = 0;  // "Время до включения по превыш. А-(сек)"
    int Max_ITimeEdit = 0;         // "Время превышения тока (сек)"
    int Max_IOnTimeEdit = 0;       // "Время до включения по превыш. тока (сек)"
    int VoltageOnTimeEdit = 0;     // "Время до включения по превыш. напряж (сек)"
    bool ExternalContactorModeCheckListBox[kExternalContactorRows] = {};  // "Управление внешнего контактора"

    // Bytes the window does not show (offset 16, offsets 20 to 25): written
    // back as the last read left them, zero before any read, so a write does
    // not change what the meter keeps there.
    std::array<std::uint8_t, 7> Unshown = {};

    common::Fields Fields();
};

std::span<const char* const> SecondDisplayRowTexts();     // LCD2CheckListBox
std::span<const char* const> ExternalContactorRowTexts();  // ExternalContactorModeCheckListBox

meter34::SecondGroupParameterRecord EncodeSecondGroupParameters(const SecondGroupParameterValues& v);
void DecodeSecondGroupParameters(const meter34::SecondGroupParameterRecord& r, SecondGroupParameterValues& v);

// ---- the block operations ----
// Each leaves its text in StatusText; none opens access (the write job opens
// it around all blocks). A failed read changes no value (the ratio labels
// excepted: they say "Нет данных" from the start of the read).

bool ReadMainParameters(OperationContext& ctx, MainParameterValues& v);
bool WriteMainParameters(OperationContext& ctx, const MainParameterValues& v);
bool ReadAdditionalParameters(OperationContext& ctx, AdditionalParameterValues& v);
bool WriteAdditionalParameters(OperationContext& ctx, const AdditionalParameterValues& v);
bool ReadTransformationRatios(OperationContext& ctx, TransformationRatioValues& v);
bool WriteTransformationRatios(OperationContext& ctx, const TransformationRatioValues& v);
// Leaves StatusText as it was on success.
bool ReadSecondGroupParameters(OperationContext& ctx, SecondGroupParameterValues& v);
bool WriteSecondGroupParameters(OperationContext& ctx, const SecondGroupParameterValues& v);

}  // namespace manager::core
