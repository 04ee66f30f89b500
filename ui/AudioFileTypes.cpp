#include "ui/AudioFileTypes.h"

#include <QStringList>

namespace {

constexpr wchar_t kPatterns[] =
    L"*.3ga;*.669;*.a52;*.aac;*.ac3;*.adt;*.adts;*.aif;*.aifc;*.aiff;*.amr;*.aob;*.ape;*.awb;*.caf;*.dts;"
    L"*.flac;*.it;*.kar;*.m4a;*.m4b;*.m4p;*.m5p;*.mid;*.mka;*.mlp;*.mod;*.mpa;*.mp1;*.mp2;*.mp3;*.mpc;*.mpga;"
    L"*.mus;*.oga;*.ogg;*.oma;*.opus;*.qcp;*.ra;*.rmi;*.s3m;*.sid;*.spx;*.thd;*.tta;*.voc;*.vqf;*.w64;*.wav;"
    L"*.wma;*.wv;*.xa;*.xm;"
    // Video files: ffmpeg takes their sound track.
    L"*.3gp;*.avi;*.flv;*.m4v;*.mkv;*.mov;*.mp4;*.mpeg;*.mpg;*.webm;*.wmv";

}  // namespace

const wchar_t* AudioFileTypes::Patterns()
{
    return kPatterns;
}

bool AudioFileTypes::Matches(const QString& fileName)
{
    // ".mp3" from "*.mp3"
    static const QStringList endings = [] {
        QStringList all;
        for (const QString& pattern : QString::fromWCharArray(kPatterns).split(QLatin1Char(';'), Qt::SkipEmptyParts))
            all.append(pattern.mid(1));
        return all;
    }();
    for (const QString& ending : endings) {
        if (fileName.endsWith(ending, Qt::CaseInsensitive) && fileName.size() > ending.size())
            return true;
    }
    return false;
}
