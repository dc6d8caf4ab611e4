#pragma once
// Fields as a table, as the controls and the commands (ui/form.h) are. A dialog says in
// one line per row which field of its record a control edits: the control id, the
// notification, how the value is stored and how it is shown again. Its OnCommand stores,
// and hands the rest to the form's command table:
//
//   constexpr ui::Field<TRDPSettings> kFields[] = {
//       ui::TextField<&TRDPSettings::Server, remote::AssignShort>(id::eServer),
//       ui::CheckField<&TRDPSettings::FullScreen>(id::cbFull),
//   };
//   ...
//   const bool stored = ui::StoreField(kFields, *this, id, code, settings);
//   Form::OnCommand(id, code, from);
//   if (stored) UpdateOk();
#include <windows.h>

#include <span>
#include <string_view>
#include <type_traits>

#include "shared/secret.h"
#include "ui/form.h"

namespace vexlo::ui {

// A row of a field table: on the control's notification, store writes the control's value
// into the record; show (null: none) puts the record's value into the control.
template <typename Record>
struct Field {
    int id;
    int event;
    void (*store)(const Form& form, int id, Record& record);
    void (*show)(Form& form, int id, const Record& record) = nullptr;
};

// Stores the control's value when the table binds it to this notification; true when it did.
template <typename Record>
bool StoreField(std::type_identity_t<std::span<const Field<Record>>> table, const Form& form, int id, int code,
                Record& record) {
    for (const Field<Record>& row : table) {
        if (row.id != id || row.event != code) continue;
        row.store(form, id, record);
        return true;
    }
    return false;
}

// Shows every field that has a way back into its control, in table order.
template <typename Record>
void ShowFields(std::type_identity_t<std::span<const Field<Record>>> table, Form& form, const Record& record) {
    for (const Field<Record>& row : table)
        if (row.show) row.show(form, row.id, record);
}

template <auto member>
using RecordOf = typename MemberOf<decltype(member)>::Class;

// A check box and a byte of the record: 1 checked, 0 not; shown checked when not 0.
template <auto member>
constexpr Field<RecordOf<member>> CheckField(int id) {
    using R = RecordOf<member>;
    return {id, BN_CLICKED,
            [](const Form& form, int control, R& record) { record.*member = form.Checked(control) ? 1 : 0; },
            [](Form& form, int control, const R& record) { form.SetChecked(control, record.*member != 0); }};
}

// A list or radio group and the index of its chosen item (-1: none), converted to the
// field's type by convert when given; the way back depends on the list, so the dialog
// shows it.
template <auto member, auto convert = nullptr>
constexpr Field<RecordOf<member>> ChoiceField(int id, int event) {
    using R = RecordOf<member>;
    return {id, event, [](const Form& form, int control, R& record) {
                if constexpr (std::is_null_pointer_v<decltype(convert)>)
                    record.*member = form.ItemIndex(control);
                else
                    record.*member = convert(form.ItemIndex(control));
            }};
}

// An edit and a text field of the record, written by assign(field, text) on every change.
// The text passes through wiped copies either way: the same row serves a password box.
template <auto member, auto assign>
constexpr Field<RecordOf<member>> TextField(int id) {
    using R = RecordOf<member>;
    return {id, EN_CHANGE,
            [](const Form& form, int control, R& record) {
                assign(record.*member, form.SecretText(control).View());
            },
            [](Form& form, int control, const R& record) {
                const SecretString text((record.*member).Str());
                form.SetText(control, text.Str());
            }};
}

}  // namespace vexlo::ui
