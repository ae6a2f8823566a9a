#pragma once

#include <functional>
#include <string>
#include <vector>

// The folder of pictures beside an HTML document ("people_files" beside
// "people.htm"), kept in step with the document. The pictures of one export
// go into a new folder that this program makes beside the old one, for
// itself alone: a link that someone planted in a shared folder leads
// nowhere, and two exports to one destination never share a file. When the
// document takes its place, the new folder takes the old one's; what the old
// folder held that this export did not write again (glyphs of earlier
// exports, pictures under higher numbers, files of the user) stays in it.
// After a failure the new folder is removed, so the document kept still
// shows its own pictures.
//
// Where no folder can be made beside (a folder this user cannot write to),
// the pictures go straight into the old folder, each one replaced whole.
class TPictureFolder {
public:
    TPictureFolder() = default;
    ~TPictureFolder();
    TPictureFolder(const TPictureFolder&) = delete;
    TPictureFolder& operator=(const TPictureFolder&) = delete;

    // Starts an export whose pictures belong in `folder` (empty: none).
    void Reset(const std::string& folder);
    // The folder to write into, made at the first call; false when there is
    // none to be had (the cells then keep their texts).
    bool Prepare();
    // Whether a picture of this name is there for the document: written by
    // this export, or left in the folder by an earlier one.
    bool Has(const std::string& name) const;
    // Where a picture of this name is written (after Prepare).
    std::string PathOf(const std::string& name) const;

    // Puts the pictures in place together with the document: putDocument
    // is the document's own rename. Raises when either cannot be done; the
    // old folder is then in place again.
    void Commit(const std::function<void()>& putDocument);
    // Removes what this export wrote (nothing of the old folder).
    void Discard();

private:
    void Forget();

    std::string fFolder;  // the folder the document refers to
    std::string fPlace;   // where it really is (a link to a folder followed)
    std::string fWriting; // the folder being written, once Prepare made it
    bool fDirect = false; // writing into fPlace itself
    bool fTried = false;
    int fSlot = -1; // in TSignalCleanup
};
