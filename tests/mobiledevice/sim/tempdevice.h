#ifndef PLOVIK_TESTS_SIM_TEMPDEVICE_H
#define PLOVIK_TESTS_SIM_TEMPDEVICE_H

#include <plist/plist.h>

#include <filesystem>
#include <string>

// A simulated device folder in a fresh temporary folder, removed with the object.
class TempDevice {
public:
    explicit TempDevice(const std::string& uniqueDeviceId, const char* accessState = nullptr);
    ~TempDevice();
    TempDevice(const TempDevice&) = delete;
    TempDevice& operator=(const TempDevice&) = delete;

    const std::string& uniqueDeviceId() const { return uniqueDeviceId_; }
    std::filesystem::path folder() const { return base_ / "device"; }
    std::filesystem::path media() const { return folder() / "Media"; }

    // Writes a file (creating its folders) under the device folder.
    void writeFile(const std::string& relativePath, const std::string& content) const;
    std::string readFile(const std::string& relativePath) const;
    void addApp(const std::string& bundleId, const std::string& displayName,
                const char* applicationType = nullptr) const;

private:
    std::filesystem::path base_;
    std::string uniqueDeviceId_;
};

// Writes node as an XML property list.
void writePlist(const std::filesystem::path& path, plist_t node);

#endif
