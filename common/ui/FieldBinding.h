#pragma once
// Binds the named fields of a values struct (common/core/Fields.h) to the
// controls of the same object names below a widget: values -> controls after
// a read or a file load, controls -> values before a write or a save.
//
//   Integer  QSpinBox (its range set from the field), or QLineEdit
//   Tick     QCheckBox, or one row of a check list (a QListWidget named like
//            the field without its row number, with checkable items)
//   Choice   QComboBox (the current index; its items set from the field when empty)
//   Text     QLineEdit (its maximum length set from the field), editable QComboBox,
//            QPlainTextEdit
// A field without a control is left alone.

#include <QString>
#include <span>

#include "common/core/Fields.h"

class QWidget;

namespace common::ui {

// Limits and items of the controls from the fields (once, after building the form).
void PrepareControls(QWidget* root, std::span<const common::Field> fields);
// Values -> controls.
void ShowFields(QWidget* root, std::span<const common::Field> fields);
// Controls -> values; false with the reason when a control holds what its
// field cannot take (the values are then partly taken).
bool TakeFields(QWidget* root, std::span<const common::Field> fields, QString& error);

}  // namespace common::ui
