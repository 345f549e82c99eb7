#include "installationproxy.h"

#include "plistfile.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <map>

namespace plovik::sim {

namespace {

constexpr const char* kUserApplication = "User";

PlistPtr browsePage(std::size_t index, std::size_t total, std::vector<PlistPtr>::iterator first,
                    std::vector<PlistPtr>::iterator last) {
    PlistPtr page(plist_new_dict());
    PlistPtr list(plist_new_array());
    const auto amount = static_cast<uint64_t>(last - first);
    for (auto app = first; app != last; ++app) {
        plist_array_append_item(list.get(), app->release());
    }
    plist_dict_set_item(page.get(), "Status", plist_new_string("BrowsingApplications"));
    plist_dict_set_item(page.get(), "CurrentIndex", plist_new_uint(index));
    plist_dict_set_item(page.get(), "CurrentAmount", plist_new_uint(amount));
    plist_dict_set_item(page.get(), "Total", plist_new_uint(total));
    plist_dict_set_item(page.get(), "CurrentList", list.release());
    return page;
}

}  // namespace

ServiceReply InstallationProxy::respond(plist_t request) {
    ServiceReply reply;
    if (!isDictionary(request)) {
        reply.messages.push_back(errorMessage("InvalidRequest"));
        return reply;
    }
    if (stringEntry(request, "Command") != "Browse") {
        reply.messages.push_back(errorMessage("UnknownCommand"));
        return reply;
    }
    const auto applicationType =
        stringEntry(plist_dict_get_item(request, "ClientOptions"), "ApplicationType");
    std::vector<PlistPtr> apps = appsOfType(applicationType.value_or("Any"));
    const std::size_t pageSize = std::max<std::size_t>(controls_.browsePageSize(), 1);
    for (std::size_t index = 0; index < apps.size(); index += pageSize) {
        const auto first = apps.begin() + static_cast<std::ptrdiff_t>(index);
        const auto last =
            apps.begin() + static_cast<std::ptrdiff_t>(std::min(index + pageSize, apps.size()));
        reply.messages.push_back(browsePage(index, apps.size(), first, last));
    }
    reply.messages.push_back(statusMessage("Complete"));
    return reply;
}

std::vector<PlistPtr> InstallationProxy::appsOfType(const std::string& applicationType) const {
    if (!apps_.valid()) {
        return {};
    }
    const int descriptor = ::openat(apps_.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) {
        return {};
    }
    const std::unique_ptr<DIR, int (*)(DIR*)> directory(::fdopendir(descriptor), ::closedir);
    if (!directory) {
        ::close(descriptor);
        return {};
    }
    std::map<std::string, PlistPtr> byIdentifier;
    while (const dirent* item = ::readdir(directory.get())) {
        const std::string folder = item->d_name;
        if (folder.starts_with('.')) {
            continue;
        }
        PlistPtr app = readPlistFile(apps_.get(), (folder + "/Info.plist").c_str());
        if (!isDictionary(app.get())) {
            continue;
        }
        // The folder names the app where Info.plist does not.
        if (!stringEntry(app.get(), "CFBundleIdentifier")) {
            plist_dict_set_item(app.get(), "CFBundleIdentifier", plist_new_string(folder.c_str()));
        }
        if (!stringEntry(app.get(), "ApplicationType")) {
            plist_dict_set_item(app.get(), "ApplicationType", plist_new_string(kUserApplication));
        }
        if (applicationType != "Any" &&
            stringEntry(app.get(), "ApplicationType") != applicationType) {
            continue;
        }
        byIdentifier.insert_or_assign(*stringEntry(app.get(), "CFBundleIdentifier"),
                                      std::move(app));
    }
    std::vector<PlistPtr> apps;
    for (auto& [identifier, app] : byIdentifier) {
        apps.push_back(std::move(app));
    }
    return apps;
}

}  // namespace plovik::sim
