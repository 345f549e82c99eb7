// Records of one kind by name, as a daemon keeps them across its runs: in memory, and, when given
// a folder, also as a file NAME.plist each in it, the way usbmuxd keeps pair records in
// /var/lib/lockdown. A name that could not name a file in the folder alone ("..", a slash) is
// kept in memory only. Not safe for concurrent use: its owner serialises the calls.
#ifndef PLOVIK_DEVEMU_KEPTRECORDS_H
#define PLOVIK_DEVEMU_KEPTRECORDS_H

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace plovik::devemu {

class KeptRecords {
public:
    // In memory only.
    KeptRecords() = default;
    // Reads the records in folder, made when missing. A file that cannot be read is left out.
    explicit KeptRecords(std::filesystem::path folder);

    // Whether name can name a file or folder of its own: UDIDs and UUIDs can, "..", or
    // anything with a slash, cannot.
    static bool isPlainName(const std::string& name);

    std::optional<std::string> find(const std::string& name) const;
    const std::map<std::string, std::string>& all() const { return records_; }
    // The file is replaced whole (written aside, then renamed); a failure is reported on
    // standard error and leaves the record in memory.
    void store(const std::string& name, std::string record);
    void erase(const std::string& name);

private:
    std::optional<std::filesystem::path> fileOf(const std::string& name) const;

    std::optional<std::filesystem::path> folder_;
    std::map<std::string, std::string> records_;
};

}  // namespace plovik::devemu

#endif
