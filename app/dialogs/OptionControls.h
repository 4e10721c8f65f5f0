#pragma once
// The options dialog as data: which control shows which field of Settings,
// under which caption, in which display form, and which value a text that
// does not parse falls back on. The dialog builds its widgets from these
// tables and moves values through them, so that the conversions and the
// decision what a change of the options requires are tested without widgets.

#include "Settings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ferrolyt {

// Pages of the dialog, in order.
enum TOptionsPage : int { opGeneral, opOptimisation, opArcFurnace, opMaterials, opNmi, opSaving, OptionsPageCount };
extern const char* const OptionsPageCaptions[OptionsPageCount];

struct TOptionCheck {
    const char* Name;
    TOptionsPage Page;
    const char* Group;   // caption of the group box it sits in; empty: none
    const char* Caption;
    const char* Hint;
    bool TSettingsRecord::*Field;
};

struct TOptionRadioGroup {
    const char* Name;
    TOptionsPage Page;
    const char* Caption;
    std::vector<const char*> Items;
    uint8_t TSettingsRecord::*Field;
};

// How an edit shows its field.
enum class TEditForm {
    Integer,  // a Word field as a decimal integer
    General3, // general format, 3 significant digits
    Mask,     // a format mask ("0.0#", "0.00#", "0.000")
    Shortest, // the shortest text that reads back as the same number
    Hundredths // a Word field holding value x 100, shown as the value
};

struct TOptionEdit {
    const char* Name;
    TOptionsPage Page;
    const char* Group;
    const char* Label;  // before the edit
    const char* Suffix; // after the edit
    const char* Hint;
    TEditForm Form;
    const char* MaskText; // for TEditForm::Mask
    double Fallback;      // for Hundredths: the value before the multiplication
    uint16_t TSettingsRecord::*WordField = nullptr;
    double TSettingsRecord::*RealField = nullptr;
};

const std::vector<TOptionCheck>& OptionChecks();
const std::vector<TOptionRadioGroup>& OptionRadioGroups();
const std::vector<TOptionEdit>& OptionEdits();

// The text an edit shows for the record's value, with the screen's decimal
// separator.
std::string OptionEditText(const TOptionEdit& edit, const TSettingsRecord& record);

// Stores an edit's text into the record: an integer edit takes a whole
// number, a hundredths edit a number of at most two decimals, a real edit
// any number, each with a decimal point or comma; any other text, and a
// value that the field cannot hold, stores the fall-back.
void StoreOptionEdit(const TOptionEdit& edit, const std::string& text, TSettingsRecord& record);

// The warning for a text typed into the edit called `field`: one that is not
// a number, and one that the edit's field cannot hold (a fraction in a whole
// number, digits below the hundredths, a value out of range). Nothing when
// StoreOptionEdit takes the text, or it is empty (the fall-back, by choice).
std::optional<std::string> OptionEditRefusal(const TOptionEdit& edit, const std::string& field,
                                             const std::string& typed);

// The arc-furnace page's values for the sample project: what its edits fall
// back on. A first start, with no settings file yet, begins with them.
void SetFurnaceFallbacks(TSettingsRecord& record);

// The first furnace constant that a heat replay cannot do without and that
// is 0, as "page > group > label" for a message; empty when all are set.
std::string ZeroFurnaceConstant(const TSettingsRecord& record);

// Autosave interval bounds of the up-down control, minutes.
inline constexpr int AutoSaveMinutesMin = 1;
inline constexpr int AutoSaveMinutesMax = 60;

// What the main window must do after the dialog changed the options.
enum class TOptionsEffect {
    Nothing,         // no result shown, or nothing in the result range changed
    Melt,            // a model or inclusion option changed: melt again
    ReloadMaterials, // the widening of ferroalloys changed: reload, then melt
    Redisplay        // only display options changed: redraw without solving
};
TOptionsEffect OptionsChangeEffect(const TSettingsRecord& before, const TSettingsRecord& after, bool resultsShown);

} // namespace ferrolyt
