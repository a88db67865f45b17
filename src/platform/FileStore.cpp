// The store away from Windows: one INI file per root in one folder, one
// section per key path, so the files follow the project file's rules (names
// without regard to ASCII case, every change an atomic replacement).

#include "platform/AtomicFile.h"
#include "platform/Error.h"
#include "platform/FilePath.h"
#include "platform/ProfileFile.h"
#include "platform/Store.h"
#include "platform/System.h"
#include "platform/UserFolders.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace plimbury {

namespace {

const char* rootFileName(Root root)
{
    return root == Root::LocalMachine ? "HKEY_LOCAL_MACHINE.ini" : "HKEY_CURRENT_USER.ini";
}

// A name the file can hold as a section header of its own: not blank only
// (the reader would take "[\v]" for "[]", which ends a section), no "]" and no
// line break.
bool isStorableKeyPath(std::string_view path)
{
    return !std::all_of(path.begin(), path.end(), isProfileBlank) &&
           path.find_first_of("]\r\n") == std::string_view::npos;
}

// The profile reader drops blanks around a value and one pair of enclosing
// quotes, so a path ending in a blank, or a quoted text, would read back
// changed. Quoting such values keeps every value as it was written.
std::string storedForm(const std::string& value)
{
    if (value.empty())
        return value;
    const bool quotedAlready =
        value.size() >= 2 && value.front() == value.back() && (value.front() == '"' || value.front() == '\'');
    if (isProfileBlank(value.front()) || isProfileBlank(value.back()) || quotedAlready)
        return '"' + value + '"';
    return value;
}

bool folderWritable([[maybe_unused]] const std::string& folder)
{
#ifdef _WIN32
    return true;
#else
    return access(folder.c_str(), W_OK) == 0;
#endif
}

class FileStoreKey final : public StoreKey {
public:
    FileStoreKey(std::string file, std::string section)
        : m_file(std::move(file))
        , m_section(std::move(section))
    {
    }

    std::string read(const std::string& name) override
    {
        try {
            return ProfileFile(m_file).read(m_section, name);
        } catch (const std::exception&) {
        } catch (const FileError&) {
        }
        return {};
    }

    void write(const std::string& name, const std::string& value) override
    {
        try {
            // ProfileFile reads a file it cannot read as empty; writing then
            // would replace every other key of the store with nothing.
            readWholeFile(m_file);
            ProfileFile file(m_file);
            file.write(m_section, name, storedForm(value));
            file.flush();
            return;
        } catch (const std::exception&) {
        } catch (const FileError&) {
        }
        throw Error("Failed to set data for '" + name + "'");
    }

private:
    std::string m_file;
    std::string m_section;
};

class FileStore final : public Store {
public:
    explicit FileStore(std::string directory)
        : m_directory(std::move(directory))
    {
    }

    bool keyExists(Root root, const std::string& path) override
    {
        try {
            return ProfileFile(fileOf(root)).hasSection(path);
        } catch (const std::exception&) {
            return false;
        }
    }

    std::unique_ptr<StoreKey> openKey(Root root, const std::string& path) override
    {
        if (!isStorableKeyPath(path))
            return nullptr;
        std::error_code ec;
        std::filesystem::create_directories(fsPath(m_directory), ec);
        if (ec || !folderWritable(m_directory))
            return nullptr;
        const std::string file = fileOf(root);
        try {
            // A store file that cannot be read would be replaced by one
            // holding only this key.
            readWholeFile(file);
            ProfileFile profile(file);
            profile.addSection(path);
            profile.flush();
        } catch (const FileError&) {
            return nullptr;
        } catch (const std::exception&) {
            return nullptr;
        }
        return std::make_unique<FileStoreKey>(file, path);
    }

private:
    std::string fileOf(Root root) const { return pathText(fsPath(m_directory) / rootFileName(root)); }

    std::string m_directory;
};

} // namespace

std::unique_ptr<Store> makeFileStore(const std::string& directory)
{
    return std::make_unique<FileStore>(directory);
}

std::string defaultStoreDirectory()
{
    if (std::string chosen = environmentValue("PLIMBURY_REGISTRY"); !chosen.empty())
        return chosen;
    return userConfigFolder() + "/plimbury";
}

#ifndef _WIN32
std::unique_ptr<Store> makeSystemStore()
{
    return makeFileStore(defaultStoreDirectory());
}
#endif

} // namespace plimbury
