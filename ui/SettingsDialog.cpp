#include "ui/SettingsDialog.h"

#include "base/LogFile.h"
#include "base/LogTags.h"
#include "engine/RecognizerSetting.h"
#include "ui/toolkit/Button.h"
#include "ui/toolkit/CheckBox.h"
#include "ui/toolkit/ComboBox.h"
#include "ui/toolkit/Edit.h"
#include "ui/toolkit/Label.h"
#include "ui/toolkit/Option.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QString>

namespace {

// The texts the window sets itself; the rest are in its layout.
namespace Texts {
// In the user's language, through Qt's translation system (the Chinese is the source).
QString Shown(const char* text)
{
    return QCoreApplication::translate("SettingsDialog", text);
}

const char* const kPairItem = QT_TRANSLATE_NOOP("SettingsDialog", "第 %1 组  %2");
const char* const kPairWithoutKey = QT_TRANSLATE_NOOP("SettingsDialog", "(未填写 API Key)");
const char* const kEmptyApiKey = QT_TRANSLATE_NOOP("SettingsDialog", "第 %1 组密钥的 API Key 为空");
const char* const kEmptySecretKey = QT_TRANSLATE_NOOP("SettingsDialog", "第 %1 组密钥的 Secret Key 为空");
const char* const kWhisperUrl = QT_TRANSLATE_NOOP("SettingsDialog", "Whisper 服务地址须是 http:// 或 https:// 开头的网址");
const char* const kLanguage = QT_TRANSLATE_NOOP("SettingsDialog", "语言须留空 (自动/默认) 或是两个小写字母, 如 de");
const char* const kNotSaved = QT_TRANSLATE_NOOP("SettingsDialog", "设置未能保存: %1");
const char* const kPairsUnreadable = QT_TRANSLATE_NOOP("SettingsDialog", "credentials.json 无法使用 (见日志); 改动密钥后将替换它");
}  // namespace Texts

constexpr int kResultOk = 1;
constexpr int kResultCancel = 2;

std::string Typed(const Edit* edit)
{
    return edit != nullptr ? QString::fromStdWString(edit->GetText()).trimmed().toStdString() : std::string();
}

std::wstring Shown(const std::string& text)
{
    return QString::fromStdString(text).toStdWString();
}

}  // namespace

SettingsDialog::SettingsDialog(std::function<void()> whenApplied) : applied(std::move(whenApplied)) {}

SettingsDialog::~SettingsDialog() = default;

std::wstring SettingsDialog::GetWindowClassName() const
{
    return L"SettingsDialog";
}

std::wstring SettingsDialog::GetSkinFile() const
{
    return L"SettingsDlg.xml";
}

void SettingsDialog::InitWindow()
{
    btnClose = FindControl<Button>(L"btnClose");
    btnOK = FindControl<Button>(L"btnOK");
    btnCancel = FindControl<Button>(L"btnCancel");
    optCloud = FindControl<Option>(L"optCloud");
    optLocal = FindControl<Option>(L"optLocal");
    optWhisper = FindControl<Option>(L"optWhisper");
    edtWhisperUrl = FindControl<Edit>(L"edtWhisperUrl");
    edtWhisperModel = FindControl<Edit>(L"edtWhisperModel");
    edtWhisperKey = FindControl<Edit>(L"edtWhisperKey");
    cmbLanguage = FindControl<ComboBox>(L"cmbLanguage");
    cmbPairs = FindControl<ComboBox>(L"cmbPairs");
    btnAddPair = FindControl<Button>(L"btnAddPair");
    btnRemovePair = FindControl<Button>(L"btnRemovePair");
    edtApiKey = FindControl<Edit>(L"edtApiKey");
    edtSecretKey = FindControl<Edit>(L"edtSecretKey");
    labPairsNote = FindControl<Label>(L"labPairsNote");
    chkTimestamps = FindControl<CheckBox>(L"chkTimestamps");
    chkUpdateCheck = FindControl<CheckBox>(L"chkUpdateCheck");
    chkDebug = FindControl<CheckBox>(L"chkDebug");
    labError = FindControl<Label>(L"labError");
    // Without every control the window could show one value and write another.
    if (btnOK == nullptr || optCloud == nullptr || optLocal == nullptr || optWhisper == nullptr || edtWhisperUrl == nullptr ||
        edtWhisperModel == nullptr || edtWhisperKey == nullptr || cmbLanguage == nullptr || cmbPairs == nullptr ||
        edtApiKey == nullptr || edtSecretKey == nullptr || chkTimestamps == nullptr || chkUpdateCheck == nullptr ||
        chkDebug == nullptr || labError == nullptr) {
        WriteLog(Error, LogTag::kSettingsDialogShow, "%s", "the layout lacks some of its controls; the window closes");
        Close(kResultCancel);
        return;
    }
    before = ProgramSettings::Read();
    ShowValues(before);
    ready = true;
}

void SettingsDialog::OnFinalMessage()
{
    ready = false;
    WindowBase::OnFinalMessage();
}

void SettingsDialog::ShowValues(const ProgramSettings& settings)
{
    switch (settings.recognizer) {
    case RecognizerKind::LocalEnglish:
        optLocal->Select();
        break;
    case RecognizerKind::WhisperApi:
        optWhisper->Select();
        break;
    case RecognizerKind::Cloud:
        optCloud->Select();
        break;
    }
    edtWhisperUrl->SetText(Shown(settings.whisperUrl));
    edtWhisperModel->SetText(Shown(settings.whisperModel));
    edtWhisperKey->SetText(Shown(settings.whisperKey));
    cmbLanguage->SetValue(Shown(settings.language));
    pairs = settings.pairs;
    cmbPairs->RemoveAll();
    for (size_t i = 0; i < pairs.size(); ++i)
        cmbPairs->AddItem(L"", L"");
    RenamePairs();
    cmbPairs->SelectItem(pairs.empty() ? -1 : 0);
    ShowPair(cmbPairs->GetCurSel());
    if (settings.pairsUnreadable && labPairsNote != nullptr) {
        labPairsNote->SetText(Texts::Shown(Texts::kPairsUnreadable).toStdWString());
        labPairsNote->SetTextColor(QColor::fromRgba(0xFFFF3333));
    }
    chkTimestamps->Select(settings.saveTimestamps);
    chkUpdateCheck->Select(settings.updateCheck);
    chkDebug->Select(settings.debug);
    labError->SetText(L"");
    EnableFields();
}

ProgramSettings SettingsDialog::TakeValues() const
{
    ProgramSettings settings = before;
    settings.recognizer = optLocal->IsSelected()     ? RecognizerKind::LocalEnglish
                          : optWhisper->IsSelected() ? RecognizerKind::WhisperApi
                                                     : RecognizerKind::Cloud;
    settings.whisperUrl = Typed(edtWhisperUrl);
    settings.whisperModel = Typed(edtWhisperModel);
    if (settings.whisperModel.empty())
        settings.whisperModel = ProgramSettings{}.whisperModel;
    settings.whisperKey = Typed(edtWhisperKey);
    settings.language = QString::fromStdWString(cmbLanguage->GetValue()).trimmed().toStdString();
    settings.pairs.clear();
    // Keys never hold blanks: what a paste brings along around them is dropped.
    for (const CredentialPair& pair : pairs) {
        settings.pairs.push_back({QString::fromStdString(pair.apiKey).trimmed().toStdString(),
                                  QString::fromStdString(pair.secretKey).trimmed().toStdString()});
    }
    settings.saveTimestamps = chkTimestamps->IsSelected();
    settings.updateCheck = chkUpdateCheck->IsSelected();
    settings.debug = chkDebug->IsSelected();
    return settings;
}

void SettingsDialog::RenamePairs()
{
    for (int i = 0; i < static_cast<int>(pairs.size()) && i < cmbPairs->GetCount(); ++i) {
        const std::string& key = pairs[static_cast<size_t>(i)].apiKey;
        const QString name = key.empty() ? Texts::Shown(Texts::kPairWithoutKey) : QString::fromStdString(key);
        cmbPairs->SetItemText(i, Texts::Shown(Texts::kPairItem).arg(i + 1).arg(name).toStdWString());
    }
}

void SettingsDialog::ShowPair(int index)
{
    const bool known = index >= 0 && index < static_cast<int>(pairs.size());
    edtApiKey->SetText(known ? Shown(pairs[static_cast<size_t>(index)].apiKey) : std::wstring());
    edtSecretKey->SetText(known ? Shown(pairs[static_cast<size_t>(index)].secretKey) : std::wstring());
    EnableFields();
}

void SettingsDialog::AddPair()
{
    pairs.push_back({});
    cmbPairs->AddItem(L"", L"");
    RenamePairs();
    cmbPairs->SelectItem(cmbPairs->GetCount() - 1);
    ShowPair(cmbPairs->GetCurSel());
    edtApiKey->setFocus();
}

void SettingsDialog::RemovePair()
{
    const int index = cmbPairs->GetCurSel();
    if (index < 0 || index >= static_cast<int>(pairs.size()))
        return;
    // The list first, so the item chosen next already shows its own pair.
    pairs.erase(pairs.begin() + index);
    cmbPairs->RemoveAt(index);
    RenamePairs();
    ShowPair(cmbPairs->GetCurSel());
}

void SettingsDialog::EnableFields()
{
    const bool whisper = optWhisper->IsSelected();
    edtWhisperUrl->SetEnabled(whisper);
    edtWhisperModel->SetEnabled(whisper);
    edtWhisperKey->SetEnabled(whisper);
    const bool pair = cmbPairs->GetCurSel() >= 0;
    edtApiKey->SetEnabled(pair);
    edtSecretKey->SetEnabled(pair);
    cmbPairs->SetEnabled(!pairs.empty());
    if (btnRemovePair != nullptr)
        btnRemovePair->SetEnabled(pair);
}

void SettingsDialog::Notify(Notification& message)
{
    WindowBase::Notify(message);
    Control* sender = message.sender;
    if (sender == nullptr || !ready)
        return;
    if (message.type == kNotifySelectChanged) {
        if (sender == cmbPairs)
            ShowPair(message.row);
        else if (sender == optCloud || sender == optLocal || sender == optWhisper)
            EnableFields();
    } else if (message.type == kNotifyTextChanged && (sender == edtApiKey || sender == edtSecretKey)) {
        const int index = cmbPairs->GetCurSel();
        if (index < 0 || index >= static_cast<int>(pairs.size()))
            return;
        CredentialPair& pair = pairs[static_cast<size_t>(index)];
        if (sender == edtApiKey) {
            pair.apiKey = QString::fromStdWString(edtApiKey->GetText()).toStdString();
            RenamePairs();
        } else {
            pair.secretKey = QString::fromStdWString(edtSecretKey->GetText()).toStdString();
        }
    }
}

void SettingsDialog::OnClick(Notification& message)
{
    Control* sender = message.sender;
    if (sender == nullptr || !ready)
        return;
    if (sender == btnClose || sender == btnCancel)
        Close(kResultCancel);
    else if (sender == btnOK)
        Save();
    else if (sender == btnAddPair)
        AddPair();
    else if (sender == btnRemovePair)
        RemovePair();
}

bool SettingsDialog::OnKeyPress(const QKeyEvent& event)
{
    if (ready && event.key() == Qt::Key_Escape && event.modifiers() == Qt::NoModifier) {
        Close(kResultCancel);
        return true;
    }
    return false;
}

void SettingsDialog::Save()
{
    const ProgramSettings chosen = TakeValues();
    const ProgramSettings::Check check = chosen.Validate();
    if (check.problem != ProgramSettings::Problem::None) {
        ShowProblem(check);
        return;
    }
    std::string failure;
    if (!chosen.Write(before, failure)) {
        WriteLog(Warning, LogTag::kSettingsDialogSave, "%s", ("the settings are not saved: " + failure).c_str());
        ShowError(Texts::Shown(Texts::kNotSaved).arg(QString::fromStdString(failure)).toStdWString());
        return;
    }
    WriteLog(Info, LogTag::kSettingsDialogSave, "settings saved: recognizer %s, language \"%s\"",
             RecognizerSettingName(chosen.recognizer), chosen.language.c_str());
    Close(kResultOk);
    if (applied)
        applied();
}

void SettingsDialog::ShowProblem(const ProgramSettings::Check& check)
{
    QWidget* culprit = nullptr;
    QString text;
    switch (check.problem) {
    case ProgramSettings::Problem::EmptyApiKey:
    case ProgramSettings::Problem::EmptySecretKey:
        // The pair in question comes up, so the user sees what is meant.
        cmbPairs->SelectItem(check.pair - 1);
        ShowPair(check.pair - 1);
        culprit = check.problem == ProgramSettings::Problem::EmptyApiKey ? edtApiKey : edtSecretKey;
        text = Texts::Shown(check.problem == ProgramSettings::Problem::EmptyApiKey ? Texts::kEmptyApiKey : Texts::kEmptySecretKey).arg(check.pair);
        break;
    case ProgramSettings::Problem::WhisperUrl:
        culprit = edtWhisperUrl;
        text = Texts::Shown(Texts::kWhisperUrl);
        break;
    case ProgramSettings::Problem::Language:
        culprit = cmbLanguage;
        text = Texts::Shown(Texts::kLanguage);
        break;
    case ProgramSettings::Problem::None:
        return;
    }
    ShowError(text.toStdWString());
    if (culprit != nullptr)
        culprit->setFocus();
}

void SettingsDialog::ShowError(const std::wstring& text)
{
    labError->SetText(text);
}

void SettingsDialog::ShowDialog()
{
    if (IsWindow()) {
        BringToTop();
        return;
    }
    if (!Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 560, 600)) {
        WriteLog(Error, LogTag::kSettingsDialogShow, "%s", "the settings window cannot be created");
        return;
    }
    CenterWindow();
    ShowWindow(true, true);
}
