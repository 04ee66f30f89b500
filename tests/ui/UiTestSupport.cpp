#include "tests/ui/UiTestSupport.h"

#include "engine/FileList.h"
#include "skin/EmbeddedSkin.h"
#include "ui/toolkit/UiToolkit.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QKeyEvent>
#include <QTest>

#include <gtest/gtest.h>
#include <zip.h>

#include <cstdlib>
#include <memory>

namespace {

std::vector<std::string>& Recorded()
{
    static std::vector<std::string> recorded;
    return recorded;
}

}  // namespace

void UiTest::RecordDiagnostic(const std::string& message)
{
    Recorded().push_back(message);
}

const std::vector<std::string>& UiTest::Diagnostics()
{
    return Recorded();
}

void UiTest::ClearDiagnostics()
{
    Recorded().clear();
}

bool UiTest::HasDiagnostic(const std::string& part)
{
    for (const std::string& line : Recorded()) {
        if (line.find(part) != std::string::npos)
            return true;
    }
    return false;
}

bool UiTest::WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    return QTest::qWaitFor(condition, static_cast<int>(timeout.count()));
}

bool UiTest::DurationsProbed(const FileList& files)
{
    return WaitFor([&files] {
        for (int i = 0; i < files.Count(); ++i) {
            if (files.Row(i)->durationSeconds == FileRow::kDurationUnknown)
                return false;
        }
        return true;
    });
}

void UiTest::ProcessEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

std::string UiTest::MakeZip(const std::map<std::string, std::string>& files)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(buffer);
    zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    for (const auto& [name, content] : files) {
        zip_source_t* data = zip_source_buffer(archive, content.data(), content.size(), 0);
        zip_file_add(archive, name.c_str(), data, ZIP_FL_ENC_UTF_8);
    }
    zip_close(archive);
    std::string bytes;
    if (zip_source_open(buffer) == 0) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        zip_source_stat(buffer, &stat);
        bytes.resize(static_cast<size_t>(stat.size));
        zip_source_read(buffer, bytes.data(), bytes.size());
        zip_source_close(buffer);
    }
    zip_source_free(buffer);
    zip_error_fini(&error);
    return bytes;
}

UiTest::ScopedSkin::ScopedSkin(const std::map<std::string, std::string>& files)
    : bytes_(MakeZip(files))
{
    installed_ = UiToolkit::SetSkinArchive(bytes_.data(), bytes_.size());
}

UiTest::ScopedSkin::~ScopedSkin()
{
    InstallEmbeddedSkin();
}

std::string UiTest::MakePng(int width, int height, uint32_t argb)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(QColor::fromRgba(argb));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

void UiTest::TestWindow::InitWindow()
{
    ++initCount;
    if (onInit)
        onInit(*this);
}

void UiTest::TestWindow::Notify(Notification& message)
{
    notes.push_back(Note{message.type, message.sender, message.row, message.previousRow, message.column, message.point});
    if (onNotify)
        onNotify(message);
    WindowBase::Notify(message);
}

void UiTest::TestWindow::OnClick(Notification& message)
{
    clicks.push_back(message.sender);
}

Control* UiTest::TestWindow::CreateControl(const std::wstring& className)
{
    factoryAsked.push_back(className);
    return factory ? factory(className) : nullptr;
}

bool UiTest::TestWindow::OnKeyPress(const QKeyEvent& event)
{
    keys.push_back(Key{event.key(), event.modifiers()});
    return takeKey && takeKey(event);
}

void UiTest::TestWindow::OnDesktopClose()
{
    ++desktopCloses;
    if (closesOnDesktopClose)
        WindowBase::OnDesktopClose();
}

void UiTest::TestWindow::OnFinalMessage()
{
    ++finalCount;
}

std::vector<UiTest::TestWindow::Note> UiTest::TestWindow::NotesOfType(const std::wstring& type) const
{
    std::vector<Note> found;
    for (const Note& note : notes) {
        if (note.type == type)
            found.push_back(note);
    }
    return found;
}

bool UiTest::CreateShown(WindowBase& window, WindowBase* parent, int x, int y)
{
    if (!window.Create(parent, L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, x, y, 600, 400))
        return false;
    return WaitFor([&] { return window.GetWidget() != nullptr && window.GetWidget()->isVisible(); });
}
