#pragma once
// A host for tests: remembers every text the engine showed and answers
// questions from a script, so a test can assert "this warning was shown".

#include "Host.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

namespace ferrolyt::test {

class RecordingHost : public Host {
public:
    RecordingHost() { previous_ = SetHost(this); }
    ~RecordingHost() override { SetHost(previous_); }

    int ShowWarning(const std::string& text) override
    {
        warnings.push_back(text);
        return 1;
    }
    bool AskYesNo(const std::string& text) override
    {
        questions.push_back(text);
        if (answers.empty())
            return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void SetStatusText(int panel, const std::string& text) override { status[panel] = text; }
    void ProcessMessages() override { ++processMessagesCalls; }
    void ShowInGrid(const TThSys&) override { ++gridShows; }
    void SetCaption(const std::string& text) override { caption = text; }
    bool EditHasFocus(InputEdit edit) override { return focusedEdits[static_cast<int>(edit)]; }
    std::string EditText(InputEdit edit) override { return editTexts[static_cast<int>(edit)]; }
    void SetEditText(InputEdit edit, const std::string& text) override
    {
        editTexts[static_cast<int>(edit)] = text;
    }
    void SetMaterialName(int row, const std::string& name) override { materialNames[row] = name; }
    void SetElementSymbol(int row, const std::string& text) override { elementSymbols[row] = text; }
    void ClearResults(bool keepMaterialAmounts, bool, int) override
    {
        ++clearResultsCalls;
        lastClearKeptAmounts = keepMaterialAmounts;
    }
    void SetActionEnabled(const std::string& action, bool enabled) override { actions[action] = enabled; }
    void ClearTaskBox() override
    {
        taskBox.clear();
        taskBoxIndex = -1;
    }
    void AddTaskBoxItem(const std::string& name) override { taskBox.push_back(name); }
    void SelectTaskBoxItem(int index) override { taskBoxIndex = index; }
    void ShowTaskFiles(const std::vector<std::string>& names, int selected) override
    {
        taskFiles = names;
        taskFileIndex = selected;
    }
    std::string AskProjectSaveName(const std::string& fileName, const std::string& folder) override
    {
        saveDialogs.push_back(fileName + "|" + folder);
        return saveDialogAnswer;
    }
    void MeltCurrentTask() override { ++melts; }

    bool warned(const std::string& fragment) const
    {
        for (const auto& w : warnings)
            if (w.find(fragment) != std::string::npos)
                return true;
        return false;
    }

    std::vector<std::string> warnings;
    std::vector<std::string> questions;
    std::deque<bool> answers; // answers to the next questions; No when empty
    std::map<int, std::string> status;
    std::string caption;
    std::map<int, bool> focusedEdits;       // by InputEdit
    std::map<int, std::string> editTexts;   // by InputEdit
    int processMessagesCalls = 0;
    int gridShows = 0;
    std::map<int, std::string> materialNames;
    std::map<int, std::string> elementSymbols;
    int clearResultsCalls = 0;
    bool lastClearKeptAmounts = false;
    std::map<std::string, bool> actions;
    std::vector<std::string> taskBox;
    int taskBoxIndex = -1;
    std::vector<std::string> taskFiles;
    int taskFileIndex = -1;
    std::vector<std::string> saveDialogs; // "file name|folder" of each dialog shown
    std::string saveDialogAnswer;         // the dialog's answer; empty cancels
    int melts = 0;

private:
    Host* previous_ = nullptr;
};

} // namespace ferrolyt::test
