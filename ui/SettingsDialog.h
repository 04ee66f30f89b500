#pragma once

#include "ui/ProgramSettings.h"
#include "ui/toolkit/WindowBase.h"

#include <functional>
#include <string>
#include <vector>

class Button;
class CheckBox;
class ComboBox;
class Edit;
class Label;
class Option;

// The settings window ("SettingsDlg.xml"): the recognizer (cloud, local English, a Whisper
// server with its address, model and key), the language, the cloud service's key pairs (added,
// removed and edited one at a time, the secret masked), saving with times, the update check and
// ffmpeg's output. It shows what is in effect when it opens; 确定 checks the values, refuses
// what the program could not use with the reason in the window, writes what changed and tells
// the owner; 取消, the close button, Esc and the desktop's close change nothing. The object
// outlives its windows, like the About dialog's.
class SettingsDialog : public WindowBase {
public:
    // `applied` runs once the settings have been written, so the program takes them up.
    explicit SettingsDialog(std::function<void()> applied);
    ~SettingsDialog() override;

    std::wstring GetWindowClassName() const override;
    std::wstring GetSkinFile() const override;
    void InitWindow() override;
    void Notify(Notification& message) override;
    void OnClick(Notification& message) override;
    bool OnKeyPress(const QKeyEvent& event) override;
    void OnFinalMessage() override;

    // Creates and shows the window, centred on the work area, or raises the one already open.
    void ShowDialog();

private:
    void ShowValues(const ProgramSettings& settings);
    ProgramSettings TakeValues() const;
    void ShowPair(int index);
    void AddPair();
    void RemovePair();
    void RenamePairs();
    void EnableFields();
    void Save();
    void ShowProblem(const ProgramSettings::Check& check);
    void ShowError(const std::wstring& text);

    Button* btnClose = nullptr;
    Button* btnOK = nullptr;
    Button* btnCancel = nullptr;
    Option* optCloud = nullptr;
    Option* optLocal = nullptr;
    Option* optWhisper = nullptr;
    Edit* edtWhisperUrl = nullptr;
    Edit* edtWhisperModel = nullptr;
    Edit* edtWhisperKey = nullptr;
    ComboBox* cmbLanguage = nullptr;
    ComboBox* cmbPairs = nullptr;
    Button* btnAddPair = nullptr;
    Button* btnRemovePair = nullptr;
    Edit* edtApiKey = nullptr;
    Edit* edtSecretKey = nullptr;
    Label* labPairsNote = nullptr;
    CheckBox* chkTimestamps = nullptr;
    CheckBox* chkUpdateCheck = nullptr;
    CheckBox* chkDebug = nullptr;
    Label* labError = nullptr;

    // The controls above belong to the window being shown: notifications that come while a
    // new window's layout is being built, or after it has gone, find nothing to act on.
    bool ready = false;
    std::function<void()> applied;
    // What was in effect when the window opened: only what differs from it is written.
    ProgramSettings before;
    std::vector<CredentialPair> pairs;  // as being edited
};
