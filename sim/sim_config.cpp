// Parsing of scout-sim's controller descriptions.
#include "sim/sim_config.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace scout::sim {

const char* const SimUsage =
    "usage: scout-sim [options] [--controller 'KEY=VALUE ...']... [--config FILE]\n"
    "\n"
    "Plays Ethernet motion controllers on the interfaces of this network namespace:\n"
    "answers queries on UDP 65515 and acts on resets and reconfigurations.\n"
    "\n"
    "One controller from flags:\n"
    "  --address A [--mask M] [--gateway G] [--model HEX] [--version TEXT] [--revision TEXT]\n"
    "  [--reply unicast|broadcast] [--delay MS|MIN-MAX] [--twice] [--offline-ms MS]\n"
    "  [--default A/PREFIX] [--interface NAME]\n"
    "Many controllers:\n"
    "  --controller 'address=A model=HEX ...'   one controller, the keys of a config line\n"
    "  --config FILE                            one controller per line, # comments\n"
    "Keys of a controller line: address mask gateway model version revision reply\n"
    "  delay twice offline-ms default interface, and the misbehaviours\n"
    "  bad-magic, command=1|2, length=N (replies of N bytes instead of 40).\n"
    "  TEXT takes \\xNN escapes; at most 8 bytes, fewer are padded with NUL.\n"
    "Whole simulator:\n"
    "  --flood N [--flood-ms MS] [--flood-length BYTES]\n"
    "                              after each query, N junk datagrams to the querier's port\n"
    "                              (of BYTES bytes, 0 to 40; default random 1 to 40)\n"
    "  --log FILE                  JSON lines of every datagram received (default: stdout)\n"
    "  --seed N                    for random delays\n";

namespace {

bool ParseNumber(const std::string& text, int base, std::uint32_t* value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    const unsigned long parsed = std::strtoul(text.c_str(), &end, base);
    if (*end != '\0' || parsed > 0xFFFFFFFFul)
        return false;
    *value = static_cast<std::uint32_t>(parsed);
    return true;
}

NetAddress PrefixMask(unsigned prefix) {
    const std::uint32_t host = prefix == 0 ? 0 : 0xFFFFFFFFu << (32 - prefix);
    return MakeAddress(static_cast<std::uint8_t>(host >> 24), static_cast<std::uint8_t>(host >> 16),
                       static_cast<std::uint8_t>(host >> 8), static_cast<std::uint8_t>(host));
}

// "A" or "A/PREFIX"
bool ParseAddressWithPrefix(const std::string& text, NetAddress* address, NetAddress* mask) {
    const std::size_t slash = text.find('/');
    if (!ParseDottedAddress(text.substr(0, slash).c_str(), address))
        return false;
    unsigned prefix = 24;
    if (slash != std::string::npos) {
        std::uint32_t parsed = 0;
        if (!ParseNumber(text.substr(slash + 1), 10, &parsed) || parsed > 32)
            return false;
        prefix = parsed;
    }
    *mask = PrefixMask(prefix);
    return true;
}

bool SetKey(Controller* c, const std::string& key, const std::string& value, std::string* error) {
    bool ok = true;
    std::uint32_t number = 0;
    if (key == "address") {
        ok = ParseAddressWithPrefix(value, &c->address, &c->mask);
    } else if (key == "mask") {
        ok = ParseDottedAddress(value.c_str(), &c->mask);
    } else if (key == "gateway") {
        ok = ParseDottedAddress(value.c_str(), &c->gateway);
    } else if (key == "default") {
        ok = ParseAddressWithPrefix(value, &c->defaultAddress, &c->defaultMask);
    } else if (key == "model") {
        ok = ParseNumber(value.rfind("0x", 0) == 0 ? value.substr(2) : value, 16, &c->model);
    } else if (key == "version") {
        ok = ParseFieldText(value, &c->version);
    } else if (key == "revision") {
        ok = ParseFieldText(value, &c->revision);
    } else if (key == "reply") {
        ok = value == "unicast" || value == "broadcast";
        c->reply = value == "broadcast" ? ReplyMode::Broadcast : ReplyMode::Unicast;
    } else if (key == "delay") {
        const std::size_t dash = value.find('-');
        std::uint32_t high = 0;
        ok = ParseNumber(value.substr(0, dash), 10, &number);
        high = number;
        if (ok && dash != std::string::npos)
            ok = ParseNumber(value.substr(dash + 1), 10, &high) && high >= number;
        c->delayMinMs = number;
        c->delayMaxMs = high;
    } else if (key == "twice") {
        c->answerTwice = value.empty() || value == "1" || value == "yes";
    } else if (key == "offline-ms") {
        ok = ParseNumber(value, 10, &c->offlineMs);
    } else if (key == "interface") {
        c->interfaceName = value;
    } else if (key == "bad-magic") {
        c->wrongMagic = value.empty() || value == "1" || value == "yes";
    } else if (key == "command") {
        ok = ParseNumber(value, 10, &c->replyCommand);
    } else if (key == "length") {
        ok = ParseNumber(value, 10, &number) && number <= 1400;
        c->replyLength = static_cast<int>(number);
    } else {
        *error = "unknown key '" + key + "'";
        return false;
    }
    if (!ok)
        *error = "bad value '" + value + "' for " + key;
    return ok;
}

void FinishController(Controller* c) {
    if (c->defaultAddress == 0) {
        c->defaultAddress = MakeAddress(192, 168, 1, 100);
        c->defaultMask = MakeAddress(255, 255, 255, 0);
        c->defaultGateway = MakeAddress(192, 168, 1, 1);
    }
}

}  // namespace

bool ParseFieldText(const std::string& text, std::array<std::uint8_t, 8>* field) {
    field->fill(0);
    std::size_t length = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint8_t byte = static_cast<std::uint8_t>(text[i]);
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
            std::uint32_t value = 0;
            if (!ParseNumber(text.substr(i + 2, 2), 16, &value))
                return false;
            byte = static_cast<std::uint8_t>(value);
            i += 3;
        }
        if (length == field->size())
            return false;
        (*field)[length++] = byte;
    }
    return true;
}

bool ParseControllerLine(const std::string& line, Controller* controller, std::string* error) {
    Controller c;
    std::istringstream words(line);
    std::string word;
    bool haveAddress = false;
    while (words >> word) {
        const std::size_t equals = word.find('=');
        const std::string key = word.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : word.substr(equals + 1);
        if (!SetKey(&c, key, value, error))
            return false;
        haveAddress = haveAddress || key == "address";
    }
    if (!haveAddress) {
        *error = "a controller needs an address";
        return false;
    }
    FinishController(&c);
    *controller = c;
    return true;
}

bool LoadControllerFile(const std::string& path, std::vector<Controller>* controllers, std::string* error) {
    std::ifstream file(path);
    if (!file) {
        *error = "cannot read " + path;
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(file, line)) {
        ++number;
        const std::size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#')
            continue;
        Controller c;
        if (!ParseControllerLine(line, &c, error)) {
            *error = path + ":" + std::to_string(number) + ": " + *error;
            return false;
        }
        controllers->push_back(c);
    }
    return true;
}

bool ParseSimArguments(int argc, char** argv, SimOptions* options, std::string* error, bool* help) {
    std::string single;  // the one controller of the flags, as a controller line
    *help = false;
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        const bool hasValue = i + 1 < argc;
        auto value = [&]() { return std::string(argv[++i]); };
        if (flag == "--help" || flag == "-h") {
            *help = true;
            return true;
        } else if (flag == "--twice") {
            single += " twice";
        } else if (flag == "--bad-magic") {
            single += " bad-magic";
        } else if (!hasValue) {
            *error = "missing value for " + flag;
            return false;
        } else if (flag == "--controller") {
            Controller c;
            if (!ParseControllerLine(value(), &c, error))
                return false;
            options->controllers.push_back(c);
        } else if (flag == "--config") {
            if (!LoadControllerFile(value(), &options->controllers, error))
                return false;
        } else if (flag == "--log") {
            options->logPath = value();
        } else if (flag == "--flood") {
            if (!ParseNumber(value(), 10, &options->floodCount)) {
                *error = "bad --flood";
                return false;
            }
        } else if (flag == "--flood-ms") {
            if (!ParseNumber(value(), 10, &options->floodSpreadMs)) {
                *error = "bad --flood-ms";
                return false;
            }
        } else if (flag == "--flood-length") {
            std::uint32_t length = 0;
            if (!ParseNumber(value(), 10, &length) || length > DatagramLength) {
                *error = "bad --flood-length";
                return false;
            }
            options->floodLength = static_cast<int>(length);
        } else if (flag == "--seed") {
            if (!ParseNumber(value(), 10, &options->seed)) {
                *error = "bad --seed";
                return false;
            }
        } else if (flag.rfind("--", 0) == 0) {
            single += " " + flag.substr(2) + "=" + value();
        } else {
            *error = "unexpected argument " + flag;
            return false;
        }
    }
    if (!single.empty()) {
        Controller c;
        if (!ParseControllerLine(single, &c, error))
            return false;
        options->controllers.push_back(c);
    }
    if (options->controllers.empty()) {
        *error = "no controller given";
        return false;
    }
    return true;
}

}  // namespace scout::sim
