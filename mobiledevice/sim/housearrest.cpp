#include "housearrest.h"

#include <fcntl.h>

namespace plovik::sim {

ServiceReply HouseArrest::respond(plist_t request) {
    ServiceReply reply;
    if (!isDictionary(request)) {
        reply.messages.push_back(errorMessage("InvalidRequest"));
        return reply;
    }
    const auto command = stringEntry(request, "Command");
    const bool documentsOnly = command == "VendDocuments";
    if (command != "VendContainer" && !documentsOnly) {
        reply.messages.push_back(errorMessage("UnknownCommand"));
        return reply;
    }
    if (const auto refusal = controls_.houseArrestRefusal(*command)) {
        reply.messages.push_back(errorMessage(refusal->c_str()));
        return reply;
    }
    const auto identifier = stringEntry(request, "Identifier");
    if (!identifier) {
        reply.messages.push_back(errorMessage("MissingIdentifier"));
        return reply;
    }
    UniqueFd container = openContainer(*identifier);
    if (!container.valid()) {
        reply.messages.push_back(errorMessage("ApplicationLookupFailed"));
        return reply;
    }
    reply.vendedFolder = std::make_shared<const ConfinedFolder>(std::move(container),
                                                                documentsOnly ? "Documents" : "");
    reply.messages.push_back(statusMessage("Complete"));
    return reply;
}

UniqueFd HouseArrest::openContainer(const std::string& identifier) const {
    // The identifier comes from the client: it must name an entry of Apps, nothing beyond.
    if (!apps_.valid() || identifier.empty() || identifier == "." || identifier == ".." ||
        identifier.find('/') != std::string::npos) {
        return {};
    }
    const UniqueFd app(
        ::openat(apps_.get(), identifier.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!app.valid()) {
        return {};
    }
    return UniqueFd(::openat(app.get(), "Container", O_PATH | O_DIRECTORY | O_CLOEXEC));
}

}  // namespace plovik::sim
