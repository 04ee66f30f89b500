#pragma once

// Every tag the log shows, in one place: the tags are texts that people and tools search the
// log for, so they stay as they have always been written, whatever the code around them is
// called now.
namespace LogTag {

inline constexpr char kAboutDialogInitWindow[] = "CAboutAppDlg::InitWindow";
inline constexpr char kAboutDialogOnClick[] = "CAboutAppDlg::OnClick";
inline constexpr char kAboutDialogShowDialog[] = "CAboutAppDlg::ShowDialog";
inline constexpr char kApplicationExit[] = "CData::PostAppExit";
inline constexpr char kCheckSingleInstance[] = "PubUtils::CheckSingleInstance";
inline constexpr char kClearTempDir[] = "PubUtils::ClearTempDir";
inline constexpr char kCrashReportUploadDoWork[] = "CUpLoadLog::DoWork";
inline constexpr char kCrashReporterStart[] = "CMiniDumpHandler::CMiniDumpHandler";
inline constexpr char kCredentialPoolReplace[] = "CData::AddKey";
inline constexpr char kCredentialsFileRead[] = "CredentialsFile::Read";
inline constexpr char kCredentialsFileWrite[] = "CredentialsFile::Write";
inline constexpr char kEndProcess[] = "EndProcess";
inline constexpr char kFileListViewAddFiles[] = "CPlayListCtrl::AddFiles";
inline constexpr char kDurationProbes[] = "DurationProbes::Probe";
inline constexpr char kFileListViewAddItem[] = "CPlayListCtrl::AddItem";
inline constexpr char kFileListViewDropEvent[] = "CPlayListCtrl::dropEvent";
inline constexpr char kFileListViewGetItemDuration[] = "CPlayListCtrl::GetItemDuration";
inline constexpr char kFileListViewGetItemFile[] = "CPlayListCtrl::GetItemFile";
inline constexpr char kFileListViewGetItemStatus[] = "CPlayListCtrl::GetItemStatus";
inline constexpr char kFileListViewGetItemText[] = "CPlayListCtrl::GetItemText";
inline constexpr char kFileListViewRemoveAt[] = "CPlayListCtrl::RemoveAt";
inline constexpr char kFileListViewUpdateItemStatus[] = "CPlayListCtrl::UpdateItemStatus";
inline constexpr char kGetCopyByFile[] = "PubUtils::GetCopyByFile";
inline constexpr char kIniFileRead[] = "IniFile::Read";
inline constexpr char kIniFileWrite[] = "IniFile::Write";
inline constexpr char kLaunchUpdater[] = "LaunchUpdater";
inline constexpr char kLayoutBuilderBuild[] = "CLayoutBuilder::Build";
inline constexpr char kLazyLibrary[] = "LazyLibrary";
inline constexpr char kLibCurl[] = "LibCurl";
inline constexpr char kLocalRecognizerRecognize[] = "LocalRecognizer::Recognize";
inline constexpr char kMainWindowAddFiles[] = "RtmpPlayer::AddFiles";
inline constexpr char kMainWindowApplySettings[] = "RtmpPlayer::ApplySettings";
inline constexpr char kMainWindowClose[] = "RtmpPlayer::Close";
inline constexpr char kMainWindowExportSubtitles[] = "RtmpPlayer::ExportSubtitles";
inline constexpr char kMainWindowInitWindow[] = "RtmpPlayer::InitWindow";
inline constexpr char kMainWindowMessageHandler[] = "RtmpPlayer::MessageHandler";
inline constexpr char kMainWindowOnClick[] = "RtmpPlayer::OnClick";
inline constexpr char kMainWindowOpenItemFolder[] = "RtmpPlayer::OpenItemFolder";
inline constexpr char kMainWindowRetryItem[] = "RtmpPlayer::RetryItem";
inline constexpr char kMainWindowStopItem[] = "RtmpPlayer::StopItem";
inline constexpr char kMainWindowTellBatchEnd[] = "RtmpPlayer::TellBatchEnd";
inline constexpr char kMessageBoxInitWindow[] = "CMessageWnd::InitWindow";
inline constexpr char kMessageBoxShow[] = "CMessageWnd::ShowMessageWnd";
inline constexpr char kOpenFilesDialogAddFilter[] = "CFileOpenDialog::AddFilter";
inline constexpr char kOpenFilesDialogDoModal[] = "CFileOpenDialog::DoModal";
inline constexpr char kOpenFilesDialogSetResult[] = "CFileOpenDialog::SetResult";
inline constexpr char kPrintTimeEnd[] = "PrintTime::~PrintTime";
inline constexpr char kPrintTimeStart[] = "PrintTime::PrintTime";
inline constexpr char kProgram[] = "WinMain";
inline constexpr char kRecognizerSettingRead[] = "RecognizerSetting::Read";
inline constexpr char kSegmentAttemptRun[] = "CAudioTask::Run";
inline constexpr char kSettingsDialogSave[] = "SettingsDialog::Save";
inline constexpr char kSettingsDialogShow[] = "SettingsDialog::ShowDialog";
inline constexpr char kSpeechClientFetchToken[] = "CSpeechClient::FetchToken";
inline constexpr char kSpeechClientParseReply[] = "CSpeechClient::ParseReply";
inline constexpr char kSpeechClientPostJsonRequest[] = "CSpeechClient::PostJsonRequest";
inline constexpr char kSpeechClientRecognizePcm[] = "CSpeechClient::RecognizePcm";
inline constexpr char kSpeechDecoderLibrary[] = "SpeechDecoder::Library";
inline constexpr char kToolkitDiagnose[] = "UiToolkit::Diagnose";
inline constexpr char kToolkitDiagnostic[] = "DuilibExceptFunc";
inline constexpr char kToolkitShellOpen[] = "UiToolkit::ShellOpen";
inline constexpr char kTranscriberRun[] = "Transcriber::Run";
inline constexpr char kTranscriptionJobsAddTask[] = "CAudioConvert::AddTask";
inline constexpr char kTranscriptionJobsDispatch[] = "CAudioConvert::Dispatch";
inline constexpr char kTranscriptionJobsOnAudioCallBack[] = "CAudioConvert::OnAudioCallBack";
inline constexpr char kUiLanguageInstall[] = "UiLanguage::Install";
inline constexpr char kUpdateCheckHttpGet[] = "CUpdateChecker::HttpGet";
inline constexpr char kUpdateCheckStart[] = "CUpdateChecker::StartCheck";
inline constexpr char kUpdateCheckScanDirectory[] = "CUpdateChecker::ScanDirectory";
inline constexpr char kWindowBaseCreate[] = "CWindowBase::Create";
inline constexpr char kWhisperRecognizerRecognize[] = "WhisperRecognizer::Recognize";

}  // namespace LogTag
