#include "MaterialCommands.h"

#include "ResultDisplay.h"
#include "Utils.h"

#include <algorithm>

namespace ferrolyt {

namespace {

std::string Trim(const std::string& s)
{
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

bool IsSet(long double x) { return !IsUnset(x); }

// The allowing steps on the task material; returns the mass proposal.
long double AllowTaskMaterial(TMaterialRecord& m)
{
    if (m.Fixed == 0)
        m.Fixed = UnsetValue;
    if (m.MaxT == 0)
        m.MaxT = UnsetValue;
    if (IsSet(m.Fixed))
        return m.Fixed;
    return std::max({0.0L, m.Recommended, m.MinT});
}

std::optional<std::string> ProposalText(long double proposal)
{
    if (proposal > 1e-10L)
        return FormatGeneral(proposal, 3, 0);
    return std::nullopt;
}

} // namespace

long double MassCellValue(const std::string& text)
{
    long double v = 0;
    return TryParseReal(Trim(DecimalDot(text)), v) ? v : 0;
}

int TaskMaterialPosition(const TTaskRecord& task, const std::string& name)
{
    for (int j = 1; j <= task.NMat && j <= MaxTaskMaterials; ++j)
        if (task.Materials[j].Name == name)
            return j;
    return task.NMat + 1;
}

TMaterialRecord* TaskMaterialAt(TTaskRecord& task, int position, int slot)
{
    if (position >= 1 && position <= task.NMat)
        return &task.Materials[position];
    if (task.NMat >= MaxTaskMaterials)
        return nullptr;
    TMaterialRecord& m = task.Materials[++task.NMat];
    m = TMaterialRecord{};
    m.Name = MaterialTable[slot].Name;
    m.TableIndex = static_cast<uint16_t>(slot);
    return &m;
}

TMaterialPopupTexts MaterialPopupTexts(const TMaterialRecord& slot, const std::string& massCell)
{
    TMaterialPopupTexts t;
    t.Enable = (slot.Disabled ? "Дозволити " : "Заборонити ") + slot.Name;
    if (IsSet(slot.Fixed) && slot.Fixed > 0) {
        t.Fix = "Розфiксувати " + slot.Name;
        t.FixEnabled = true;
    } else if (MassCellValue(massCell) > 0) {
        t.Fix = "Зафiксувати " + slot.Name;
        t.FixEnabled = true;
    } else {
        t.Fix = "Зафiксувати";
    }
    return t;
}

std::optional<std::string> EnableMaterial(TMaterialRecord& m, TMaterialRecord& slot)
{
    std::optional<std::string> cell;
    if (!slot.Disabled) {
        m.Fixed = 0;
        slot.Fixed = 0;
        cell = std::string();
    } else {
        cell = ProposalText(AllowTaskMaterial(m));
        slot.Fixed = m.Fixed;
        slot.MaxT = m.MaxT;
    }
    slot.Disabled = !slot.Disabled;
    return cell;
}

void EnableAllMaterials(TTaskRecord& task, TMaterialTable& table, std::vector<std::string>& massCells)
{
    for (int j = 1; j <= task.NMat && j <= MaxTaskMaterials; ++j) {
        TMaterialRecord& m = task.Materials[j];
        const int slot = m.TableIndex;
        if (slot < 1 || slot > MaterialCount || !table[slot].Disabled)
            continue;
        const auto text = ProposalText(AllowTaskMaterial(m));
        if (text && slot < static_cast<int>(massCells.size()))
            massCells[static_cast<std::size_t>(slot)] = *text;
        table[slot].Disabled = false;
    }
}

void FixMaterial(TMaterialRecord& m, TMaterialRecord& slot, const std::string& massCell)
{
    if (IsSet(m.Fixed)) {
        m.Recommended = m.Fixed;
        m.Fixed = UnsetValue;
        slot.Fixed = UnsetValue;
        slot.Recommended = m.Recommended;
    } else {
        m.Fixed = MassCellValue(massCell);
        slot.Fixed = m.Fixed;
    }
    slot.Disabled = false;
}

long double& MaterialBoundField(TMaterialRecord& m, int tag)
{
    switch (tag) {
    case 1: return m.MinT;
    case 2: return m.MaxT;
    case 3: return m.MinPercent;
    case 4: return m.MaxPercent;
    default: return m.Recommended;
    }
}

std::string MaterialBoundProposal(TMaterialRecord& slot, int tag)
{
    const long double v = MaterialBoundField(slot, tag);
    return IsSet(v) ? FormatGeneral(v, 3, 0) : std::string();
}

std::string MaterialBoundCaption(const std::string& itemCaption, const std::string& name)
{
    std::string caption = itemCaption;
    const auto comma = caption.find(',');
    caption.insert(comma == std::string::npos ? caption.size() : comma, " " + name);
    return caption;
}

bool ApplyMaterialBound(const std::string& answer, TMaterialRecord& m, TMaterialRecord& slot, int tag)
{
    long double v = UnsetValue;
    const std::string t = Trim(answer);
    if (!t.empty() && !(TryParseReal(DecimalDot(t), v) && v > 0))
        return false;
    MaterialBoundField(m, tag) = v;
    MaterialBoundField(slot, tag) = v;
    return true;
}

bool CurrentMassesAsRecommended(TTaskRecord& task, TMaterialTable& table, const std::vector<std::string>& massCells)
{
    bool any = false;
    for (int j = 1; j <= MaterialCount; ++j) {
        const long double v =
            j < static_cast<int>(massCells.size()) ? MassCellValue(massCells[static_cast<std::size_t>(j)]) : 0;
        int position = 0;
        for (int k = 1; k <= task.NMat && k <= MaxTaskMaterials; ++k)
            if (task.Materials[k].TableIndex == j)
                position = k;
        if (v > 0 && !IsSet(table[j].Fixed)) {
            TMaterialRecord* m = position > 0 ? &task.Materials[position] : TaskMaterialAt(task, task.NMat + 1, j);
            if (!m)
                continue; // a 31st material is not appended
            m->Recommended = v;
            table[j].Recommended = v;
            any = true;
        } else if (position > 0) {
            task.Materials[position].Recommended = UnsetValue;
            table[j].Recommended = UnsetValue;
        }
    }
    return any;
}

} // namespace ferrolyt
