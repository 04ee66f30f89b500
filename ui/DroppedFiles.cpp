#include "ui/DroppedFiles.h"

#include "ui/AudioFileTypes.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

namespace {

// Name order with the numbers in names read as numbers ("track 2" before "track 10"), as file
// managers show a folder; letters compare without case. Qt's collator does this only with a
// locale library behind it.
bool NameOrder(const QString& a, const QString& b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            const qsizetype startA = i;
            const qsizetype startB = j;
            while (i < a.size() && a[i].isDigit())
                ++i;
            while (j < b.size() && b[j].isDigit())
                ++j;
            // Leading zeros do not make a number larger.
            QStringView numberA = QStringView(a).mid(startA, i - startA);
            QStringView numberB = QStringView(b).mid(startB, j - startB);
            while (numberA.size() > 1 && numberA.front() == QLatin1Char('0'))
                numberA = numberA.mid(1);
            while (numberB.size() > 1 && numberB.front() == QLatin1Char('0'))
                numberB = numberB.mid(1);
            if (numberA.size() != numberB.size())
                return numberA.size() < numberB.size();
            if (const int order = numberA.compare(numberB); order != 0)
                return order < 0;
            continue;
        }
        if (const int order = QStringView(a).mid(i, 1).compare(QStringView(b).mid(j, 1), Qt::CaseInsensitive); order != 0)
            return order < 0;
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j)
        return a.size() - i < b.size() - j;
    // Names that differ only in case or leading zeros still come in one order.
    return a < b;
}

}  // namespace

bool DroppedFiles::Offers(const QMimeData* mime)
{
    if (mime == nullptr || !mime->hasUrls())
        return false;
    const QList<QUrl> urls = mime->urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
}

DroppedFiles::DroppedFiles(const QMimeData* mime)
{
    if (mime == nullptr || !mime->hasUrls())
        return;
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        if (QFileInfo(path).isDir())
            ReadFolder(path.toStdString());
        else
            files.push_back(path.toStdString());
    }
}

void DroppedFiles::ReadFolder(const std::string& folder)
{
    ++folders;
    const QDir dir(QString::fromStdString(folder));
    subfolders += static_cast<int>(dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
    QStringList names = dir.entryList(QDir::Files);
    std::sort(names.begin(), names.end(), NameOrder);
    for (const QString& name : names) {
        if (AudioFileTypes::Matches(name))
            files.push_back(dir.filePath(name).toStdString());
        else
            ++otherFiles;
    }
}
