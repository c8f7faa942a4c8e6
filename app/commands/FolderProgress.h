#pragma once
// A one-line progress bar on stderr over a whole list of files: the files done of the files
// given (the current one counted by its own progress) and the current file's name. Drawn only
// when asked to and when stderr is a terminal.

#include <string>

namespace app
{
class FolderProgress
{
public:
    FolderProgress(bool wanted, int files);
    // For files run side by side: `done` files finished, runningShare the sum of the shares
    // done of the others, name the file to show.
    void Show(int done, double runningShare, const std::string& name);
    // Clears the line for other output; the next update draws it again.
    void Interrupt();
    // Clears the line for good.
    void Finish();

    // The line for `done` whole files of `total` plus `fileShare` of the current one, fitted to
    // `columns` characters (the name shortened from its start).
    static std::string Line(int done, int total, double fileShare, const std::string& name,
                            int columns);

private:
    void Draw();

    bool mActive;
    int mTotal;
    int mIndex = 0;
    double mShare = 0.0;
    std::string mName;
    int mLastPermille = -1;
};
} // namespace app
