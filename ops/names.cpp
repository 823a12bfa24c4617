// What the operator knows each interface by (see names.h).
#include "ops/names.h"

#include "ops/text.h"

namespace scout::ops {

std::string InterfaceNameOf(InterfaceNames& names, const BroadcastInterface& entry) {
    for (const auto& [known, name] : names.known)
        if (SameInterface(known, entry))
            return name;
    InterfaceDetails details;
    const bool named =
        names.platform != nullptr && names.platform->describeInterface(names.platform->context, entry, &details);
    names.known.emplace_back(entry, named ? details.name : "");
    return names.known.back().second;
}

std::string InterfaceLabel(const char* name, const char* address) {
    if (name[0] == '\0')
        return address;
    return address[0] != '\0' ? SafeText(name) + " " + address : SafeText(name);
}

std::string LabelOf(InterfaceNames& names, const BroadcastInterface& entry) {
    const std::string address = entry.address == AnyAddress ? "" : AddressString(entry.address);
    return InterfaceLabel(InterfaceNameOf(names, entry).c_str(), address.c_str());
}

std::string AddressString(NetAddress address) {
    char text[AddressTextCapacity];
    FormatAddress(address, text, sizeof text);
    return text;
}

int PrefixOf(const NetPlatform& platform, const BroadcastInterface& entry) {
    InterfaceDetails details;
    return platform.describeInterface(platform.context, entry, &details) ? details.prefixLength : -1;
}

}  // namespace scout::ops
