#pragma once

#include <string>
#include <vector>

class QMimeData;

// What a drag brings to the file list. Each local file it carries, in its order, whatever its
// type (as the list always took them); of each folder it carries, the audio and video files
// directly inside it (AudioFileTypes), in their names' order with numbers read as numbers. The
// folder's other files and its subfolders are counted, not opened; hidden files are left out,
// and so are web links.
class DroppedFiles {
public:
    // Whether the drag carries a local file or folder the list could take. Reads no folder: it is
    // asked at every move of the drag.
    static bool Offers(const QMimeData* mime);

    // Reads the drag's folders.
    explicit DroppedFiles(const QMimeData* mime);

    const std::vector<std::string>& Files() const { return files; }
    int Folders() const { return folders; }
    // Files in the dropped folders that are not audio or video.
    int OtherFiles() const { return otherFiles; }
    int Subfolders() const { return subfolders; }

private:
    void ReadFolder(const std::string& folder);

    std::vector<std::string> files;
    int folders = 0;
    int otherFiles = 0;
    int subfolders = 0;
};
