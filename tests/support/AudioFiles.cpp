#include "support/AudioFiles.h"

#include "support/TestSupport.h"

#include <cmath>
#include <sstream>

namespace TestSupport {

bool MakeToneFile(const std::string& path, double seconds, const std::vector<int>& tones, double toneSeconds,
                  const std::string& format)
{
    // One sine source whose frequency steps through the tones: sin(2*pi*f(t)*t) with a phase
    // that stays continuous is not needed; each step is cut cleanly by the segment boundaries.
    std::ostringstream expression;
    expression << "aevalsrc=exprs='sin(2*PI*t*(";
    for (size_t i = 0; i < tones.size(); ++i) {
        if (i + 1 < tones.size())
            expression << "if(lt(t," << toneSeconds * static_cast<double>(i + 1) << ")," << tones[i] << ",";
        else
            expression << tones[i];
    }
    for (size_t i = 1; i < tones.size(); ++i)
        expression << ")";
    expression << "))*0.5':s=16000:d=" << seconds;
    std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i", expression.str(), "-ac", "1"};
    if (!format.empty()) {
        argv.push_back("-f");
        argv.push_back(format);
    }
    argv.push_back(path);
    return RunChild(argv, {}, std::chrono::seconds(120)).exitCode == 0;
}

bool MakeToneRunsFile(const std::string& path, double seconds, const std::vector<ToneRun>& runs)
{
    std::ostringstream expression;
    expression << "aevalsrc=exprs='0";
    for (const ToneRun& run : runs)
        expression << "+between(t," << run.start << "," << run.end << ")*sin(2*PI*t*" << run.hertz << ")*0.5";
    expression << "':s=16000:d=" << seconds;
    return RunChild({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i", expression.str(), "-ac", "1", path}, {},
                    std::chrono::seconds(120))
               .exitCode == 0;
}

bool MakeWavFromRaw(const std::string& raw, const std::string& wav)
{
    return RunChild({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "s16le", "-ar", "16000", "-ac", "1", "-i", raw, wav}, {},
                    std::chrono::seconds(60))
               .exitCode == 0;
}

}  // namespace TestSupport
