// Pictures of the main window with files in each state, made with the real window, job manager,
// ffmpeg and the speech double (its answers held back, worded or refused for the picture).
//
//   talvora_main_window_pictures <folder>    renders offscreen into <folder>/MainWindow-*.png
//   talvora_main_window_pictures --check     the same into a temporary folder, and checks them
//
// It works in a temporary data folder of its own; nothing of the user's is touched.
#include "engine/TranscriptionJobs.h"
#include "engine/CloudRecognizer.h"
#include "engine/CredentialPool.h"
#include "skin/EmbeddedSkin.h"
#include "speech_double/LoopbackPort.h"
#include "speech_double/SpeechDouble.h"
#include "support/AudioFiles.h"
#include "ui/FileListView.h"
#include "engine/FileRow.h"
#include "ui/MainWindow.h"
#include "ui/toolkit/UiToolkit.h"
#include "ui/UiLanguage.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QTemporaryDir>
#include <QWidget>

#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <map>
#include <set>
#include <string>
#include <vector>


namespace {

constexpr char kMeetingText[] =
    "今天的会议主要讨论三件事：第一，下个月的产品发布时间；第二，测试环境的准备情况；第三，用户反馈的处理流程。"
    "大家先从发布时间说起，目前的计划是月底之前完成所有功能的验收。";

int g_diagnostics = 0;

void CountDiagnostic(const std::string& message)
{
    ++g_diagnostics;
    std::fprintf(stderr, "toolkit: %s", message.c_str());
}

// Holds the answers for some recognised texts back until the end.
class Gate {
public:
    SpeechDouble::Fault Pass(const SpeechDouble::RequestInfo& info)
    {
        std::unique_lock<std::mutex> guard(lock_);
        changed_.wait(guard, [&] { return open_ || held_.count(info.text) == 0; });
        const auto said = texts_.find(info.text);
        return said != texts_.end() ? SpeechDouble::Fault::Text(said->second) : SpeechDouble::Fault::Normal();
    }
    void Hold(const std::string& text) { held_.insert(text); }
    // What the service answers for a tone. Given here, not as a fault of the double's own: a
    // fault of its own would be answered before the gate is asked.
    void Say(const std::string& tone, const std::string& text) { texts_[tone] = text; }
    void Open()
    {
        std::lock_guard<std::mutex> guard(lock_);
        open_ = true;
        changed_.notify_all();
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::set<std::string> held_;
    std::map<std::string, std::string> texts_;
    bool open_ = false;
};

bool WaitFor(const std::function<bool()>& condition, int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > milliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Tones of two minutes each, the last one filling the rest.
bool MakeTone(const QString& path, int seconds, const QList<int>& tones)
{
    return TestSupport::MakeToneFile(path.toStdString(), seconds, std::vector<int>(tones.begin(), tones.end()), 120);
}

bool IsBlank(const QImage& image)
{
    if (image.isNull())
        return true;
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height(); y += 3) {
        for (int x = 0; x < image.width(); x += 3) {
            if (image.pixel(x, y) != first)
                return false;
        }
    }
    return true;
}

bool SaveImage(const QImage& image, const QString& folder, const char* name, bool check)
{
    const QString path = folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png");
    if (!image.save(path, "PNG") || (check && IsBlank(QImage(path)))) {
        std::fprintf(stderr, "bad picture %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s (%dx%d)\n", qPrintable(path), image.width(), image.height());
    return true;
}

bool Save(MainWindow& player, const QString& folder, const char* name, bool check)
{
    QCoreApplication::processEvents();
    return SaveImage(player.GetWidget()->grab().toImage(), folder, name, check);
}

// The window with its open row menu drawn where it stands over it.
bool SaveWithMenu(MainWindow& player, QMenu& menu, const QString& folder, const char* name, bool check)
{
    QCoreApplication::processEvents();
    QImage image = player.GetWidget()->grab().toImage();
    {
        QPainter painter(&image);
        painter.drawImage(player.GetWidget()->mapFromGlobal(menu.pos()), menu.grab().toImage());
    }
    return SaveImage(image, folder, name, check);
}

int Run(const QString& folder, const QString& work, bool check)
{
    if (!QDir().mkpath(folder))
        return 1;
    Gate gate;
    std::string error;
    std::unique_ptr<SpeechDouble::Server> speech = SpeechDouble::Server::Start({}, &error);
    if (speech == nullptr) {
        std::fprintf(stderr, "speech double: %s\n", error.c_str());
        return 1;
    }
    speech->ExportEnvironment();
    speech->AddFault({.text = "tone 440", .times = -1, .fault = SpeechDouble::Fault::Text(kMeetingText)});
    gate.Say("tone 550", "第一个问题是您平时怎样整理会议记录。");
    gate.Say("tone 660", "一般是会后听录音，再手工整理成文字。");
    gate.Say("tone 770", "最花时间的是找到某句话在录音里的位置。");
    speech->SetFaultSelector([&gate](const SpeechDouble::RequestInfo& info) { return gate.Pass(info); });
    // The second file stays at one of three segments: its other two answers wait.
    gate.Hold("tone 660");
    gate.Hold("tone 770");

    const QString audio = work + QStringLiteral("/录音");
    QDir().mkpath(audio);
    const QString meeting = audio + QStringLiteral("/项目例会 2019.10.08.wav");
    const QString interview = audio + QStringLiteral("/用户访谈 第二部分.wav");
    const QString lecture = audio + QStringLiteral("/讲座.wav");
    // The service refuses every attempt at this one: the file fails.
    const QString damaged = audio + QStringLiteral("/电话录音 损坏.wav");
    speech->AddFault({.text = "tone 330", .times = -1, .fault = SpeechDouble::Fault::ErrNo(3301, "speech quality error")});
    if (!MakeTone(meeting, 95, {440}) || !MakeTone(interview, 360, {550, 660, 770}) || !MakeTone(lecture, 150, {880}) ||
        !MakeTone(damaged, 30, {330}))
        return 1;

    int failures = 0;
    {
        auto keys = std::make_shared<CredentialPool>();
        keys->Replace({{SpeechDouble::kTestApiKey, SpeechDouble::kTestSecretKey}});
        MainWindow player(std::make_shared<CloudRecognizer>(keys));
        if (!player.Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 800, 600))
            return 1;
        FileListView* list = player.GetFileListView();
        if (!Save(player, folder, "MainWindow-empty", check))
            ++failures;

        for (const QString& path : {meeting, interview, lecture})
            list->AddItem(path.toStdString());
        list->SelectItem(0);
        if (!Save(player, folder, "MainWindow-added", check))
            ++failures;

        player.StartNextItem();
        player.StartNextItem();
        const bool states = WaitFor([&] { return list->GetItemStatus(0) == ItemDone; }, 60000) &&
                            WaitFor([&] { return list->GetItemText(list->GetItemAt(1), 1, 3) == std::wstring(L"33%"); }, 60000) &&
                            WaitFor([&] { return list->GetItemText(list->GetItemAt(1), 1, 4) >= std::wstring(L"00:03"); }, 60000);
        if (!states) {
            QFile log(QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME")) + QStringLiteral("/Talvora/Talvora.log"));
            const QByteArray text = log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
            const std::wstring progress = list->GetItemText(list->GetItemAt(1), 1, 3);
            const std::wstring elapsed = list->GetItemText(list->GetItemAt(1), 1, 4);
            const std::string second = player.PaneText(1);
            std::fprintf(stderr, "the rows did not reach their states (first row %d; second %ls, %ls: %s); the log:\n%s\n",
                         static_cast<int>(list->GetItemStatus(0)), progress.c_str(), elapsed.c_str(), second.c_str(),
                         text.constData());
            ++failures;
        }
        player.RefreshResultText();
        if (!Save(player, folder, "MainWindow-states", check))
            ++failures;

        // A file that failed: started as the window starts a row, its ten attempts dispatched
        // without waiting for the window's tick.
        list->AddItem(damaged.toStdString());
        const int row = list->GetCount() - 1;
        list->Files().Start(row);
        const bool failed = WaitFor([&] {
            player.GetJobs()->Dispatch();
            return list->GetItemStatus(row) == ItemFailed;
        }, 60000);
        if (!failed) {
            std::fprintf(stderr, "the damaged file did not fail\n");
            ++failures;
        }
        list->SelectItem(row);
        player.RefreshResultText();
        if (!Save(player, folder, "MainWindow-failed", check))
            ++failures;

        // The interview, finished: each segment after its start time; then its row menu.
        gate.Open();
        if (!WaitFor([&] {
                player.GetJobs()->Dispatch();
                return list->GetItemStatus(1) == ItemDone;
            }, 60000)) {
            std::fprintf(stderr, "the interview did not finish\n");
            ++failures;
        }
        list->SelectItem(1);
        player.RefreshResultText();
        if (!Save(player, folder, "MainWindow-timed", check))
            ++failures;
        const UiRect rowRect = list->GetRowRect(1);
        player.ShowRowMenu(1, rowRect.left + 180, (rowRect.top + rowRect.bottom) / 2);
        QMenu* menu = nullptr;
        WaitFor([&] {
            menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            return menu != nullptr && menu->isVisible();
        }, 10000);
        if (menu == nullptr || !SaveWithMenu(player, *menu, folder, "MainWindow-menu", check))
            ++failures;
        if (menu != nullptr)
            menu->close();
        WaitFor([&] { return player.GetJobs()->RunningCount() == 0; }, 60000);
    }
    QCoreApplication::processEvents();
    if (g_diagnostics > 0)
        ++failures;
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    const QString first = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (first.isEmpty() || first == QStringLiteral("--help")) {
        std::fprintf(stderr, "usage: %s <folder> | --check\n", argv[0]);
        return 2;
    }
    QTemporaryDir work;
    if (!work.isValid())
        return 1;
    // Job folders, the log and settings go to a data folder of the program's own.
    qputenv("XDG_DATA_HOME", work.path().toLocal8Bit());
    // The window's update check goes to a port nobody listens on and fails at once.
    QDir().mkpath(work.path() + QStringLiteral("/Talvora"));
    QFile settings(work.path() + QStringLiteral("/Talvora/config.ini"));
    if (settings.open(QIODevice::WriteOnly))
        settings.write(QStringLiteral("[Talvora]\nUpdateUrl=http://127.0.0.1:%1\n")
                           .arg(SpeechDouble::UnusedLoopbackPort())
                           .toUtf8());
    settings.close();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    UiToolkit::SetDiagnosticHook(&CountDiagnostic);
    // In the language the program would choose here (LANG, or UiLanguage in config.ini).
    UiLanguage::SetUp();
    if (!InstallEmbeddedSkin())
        return 1;
    const bool check = first == QStringLiteral("--check");
    const QString folder = check ? work.path() + QStringLiteral("/pictures") : first;
    const int result = Run(folder, work.path(), check);
    UiToolkit::ReleaseSkinArchive();
    return result;
}
