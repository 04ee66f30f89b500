// Stands in for the updater program beside the About dialog's tests: records that it ran (and
// under which name) in the file the test names, then ends.
#include <cstdio>
#include <cstdlib>

int main(int, char** argv)
{
    const char* mark = std::getenv("TALVORA_TEST_UPDATER_MARK");
    if (mark == nullptr || *mark == '\0')
        return 1;
    FILE* file = std::fopen(mark, "ab");
    if (file == nullptr)
        return 1;
    std::fprintf(file, "%s\n", argv[0]);
    std::fclose(file);
    return 0;
}
