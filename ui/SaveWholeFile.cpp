#include "ui/SaveWholeFile.h"

#include <QSaveFile>
#include <QString>

bool SaveWholeFile(const std::string& path, const std::string& bytes, bool& opened)
{
    QSaveFile file(QString::fromStdString(path));
    opened = file.open(QIODevice::WriteOnly);
    if (!opened)
        return false;
    const bool written = file.write(bytes.data(), static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size());
    if (!written) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
