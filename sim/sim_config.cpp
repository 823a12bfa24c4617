// Parsing of scout-sim's controller descriptions.
#include "sim/sim_config.h"

#include <sys/stat.h>

#include <cerrno>
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
    "  --config FILE                            one controller per line; # starts a comment\n"
    "Keys of a controller line, and their ranges:\n"
    "  address=A[/PREFIX]   required; PREFIX 0 to 32 (default 24)\n"
    "  mask=M gateway=G     dotted addresses\n"
    "  model=HEX            0 to FFFFFFFF\n"
    "  version=TEXT revision=TEXT   at most 8 bytes each; \\xNN for any byte\n"
    "  reply=unicast|broadcast\n"
    "  delay=MS|MIN-MAX     0 to 60000 ms, MIN not above MAX\n"
    "  twice[=yes|no]       answer each query twice\n"
    "  offline-ms=MS        0 to 3600000 (default 3000), after a power-on reset\n"
    "  online-ms=MS         plugged in MS after the start (0 to 3600000; default 0)\n"
    "  off-ms=MS            switched off MS after the start (1 to 3600000)\n"
    "  default=A/PREFIX     restored by a factory-defaults reset (default 192.168.1.100/24)\n"
    "  interface=NAME       answer only queries arriving there\n"
    "  mac=M                its MAC (02:00:5e:10:00:01; no multicast one), on the wire\n"
    "                       where scout-sim may send frames (as root; default 02:00:5e:10\n"
    "                       and the line's number): its replies, and its answers to ARP\n"
    "A host of the line that answers ARP and nothing else (a PLC, a laptop):\n"
    "  host A [mac=M] [answer-ms=MS] [chatter=N]\n"
    "  answer-ms=MS         ARP for it answered MS after the request (0 to 60000; also\n"
    "                       of a controller), as a busy embedded stack does\n"
    "  chatter=N            N gratuitous ARPs a second for its address (0 to 100000),\n"
    "                       as a chatty or looping host floods a link\n"
    "  misbehaviours: bad-magic[=yes|no], command=N (0 to 4294967295),\n"
    "  length=N (replies of N bytes instead of 40, 0 to 1400)\n"
    "Whole simulator:\n"
    "  --flood N [--flood-ms MS] [--flood-length BYTES]\n"
    "                       after each query, N junk datagrams (0 to 10000000) to the\n"
    "                       querier's port, spread over MS (0 to 60000), of BYTES bytes\n"
    "                       each (0 to 40; default random 1 to 40)\n"
    "  --log FILE           JSON lines of every datagram received (default: stdout)\n"
    "  --seed N             for random delays, 0 to 4294967295\n"
    "  --arp-askings N      how many controllers ask for a workstation by ARP before\n"
    "                       their first reply (0 to 100000; default 256, the first\n"
    "                       ones; the rest reply without asking)\n"
    "  --first-mac M        the MAC of the first line that gives none (default\n"
    "                       02:00:5e:10:00:01); each next line's counts on from it\n";

namespace {

constexpr std::uint32_t MaxDelayMs = 60000;
constexpr std::uint32_t MaxOfflineMs = 3600000;
constexpr std::uint32_t MaxReplyLength = 1400;
constexpr std::uint32_t MaxFlood = 10000000;
constexpr std::uint32_t MaxFloodMs = 60000;
constexpr std::uint32_t MaxChatter = 100000;
constexpr std::uint32_t MaxArpAskings = 100000;
// A controller file is read no further than this: a line of it, the whole of it.
constexpr std::size_t MaxLineBytes = 4096;
constexpr std::size_t MaxFileBytes = 16 * 1024 * 1024;
// A text of the user's echoed in a message is cut after this many bytes.
constexpr std::size_t MaxShownBytes = 200;

// A text of the user's as a message shows it: every control byte and every
// byte above 0x7E as \xNN, cut after MaxShownBytes with "...".
std::string Shown(const std::string& text) {
    std::string shown;
    for (std::size_t i = 0; i < text.size() && i < MaxShownBytes; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte > 0x7e) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            shown += escaped;
        } else {
            shown += static_cast<char>(byte);
        }
    }
    if (text.size() > MaxShownBytes)
        shown += "...";
    return shown;
}

std::uint32_t HostOrder(NetAddress address) {
    const auto* b = reinterpret_cast<const std::uint8_t*>(&address);
    return static_cast<std::uint32_t>(b[0]) << 24 | static_cast<std::uint32_t>(b[1]) << 16 |
           static_cast<std::uint32_t>(b[2]) << 8 | b[3];
}

// An address a controller can hold: none of 0.0.0.0/8, loopback, multicast,
// 240.0.0.0/4 (the limited broadcast among them).
bool ControllerCanHold(NetAddress address) {
    const std::uint32_t first = HostOrder(address) >> 24;
    return first != 0 && first != 127 && first < 224;
}

// Ones, then zeros.
bool ContiguousMask(NetAddress mask) {
    const std::uint32_t host = HostOrder(mask);
    return (~host & (~host + 1)) == 0;
}

// Digits of the base and nothing else (no sign, no space), at most max.
bool ParseNumber(const std::string& text, int base, std::uint32_t* value, std::uint64_t max = 0xFFFFFFFFu) {
    if (text.empty() || text.size() > 10)
        return false;
    std::uint64_t parsed = 0;
    for (const char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0 || digit >= base)
            return false;
        parsed = parsed * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    }
    if (parsed > max)
        return false;
    *value = static_cast<std::uint32_t>(parsed);
    return true;
}

// A flag: the bare key, or =yes/=1, or =no/=0.
bool ParseFlag(const std::string& value, bool hasValue, bool* flag) {
    if (!hasValue || value == "yes" || value == "1") {
        *flag = true;
        return true;
    }
    if (value == "no" || value == "0") {
        *flag = false;
        return true;
    }
    return false;
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
        if (!ParseNumber(text.substr(slash + 1), 10, &parsed, 32))
            return false;
        prefix = parsed;
    }
    *mask = PrefixMask(prefix);
    return true;
}

bool ParseMacText(const std::string& text, std::array<std::uint8_t, 6>* mac) {
    if (text.size() != 17)
        return false;
    for (std::size_t i = 0; i < 6; ++i) {
        std::uint32_t byte = 0;
        if ((i < 5 && text[i * 3 + 2] != ':') || !ParseNumber(text.substr(i * 3, 2), 16, &byte, 255))
            return false;
        (*mac)[i] = static_cast<std::uint8_t>(byte);
    }
    return true;
}

bool SetKey(Controller* c, const std::string& key, const std::string& value, bool hasValue, std::string* error) {
    bool ok = true;
    std::uint32_t number = 0;
    if (key == "address") {
        ok = ParseAddressWithPrefix(value, &c->address, &c->mask) && ControllerCanHold(c->address);
    } else if (key == "mask") {
        ok = ParseDottedAddress(value.c_str(), &c->mask) && ContiguousMask(c->mask);
    } else if (key == "gateway") {
        ok = ParseDottedAddress(value.c_str(), &c->gateway);
    } else if (key == "default") {
        ok = ParseAddressWithPrefix(value, &c->defaultAddress, &c->defaultMask) && ControllerCanHold(c->defaultAddress);
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
        ok = ParseNumber(value.substr(0, dash), 10, &number, MaxDelayMs);
        high = number;
        if (ok && dash != std::string::npos)
            ok = ParseNumber(value.substr(dash + 1), 10, &high, MaxDelayMs) && high >= number;
        c->delayMinMs = number;
        c->delayMaxMs = high;
        if (!ok) {
            *error = "bad value '" + Shown(value) + "' for delay (MS or MIN-MAX, 0 to 60000, MIN not above MAX)";
            return false;
        }
    } else if (key == "twice") {
        ok = ParseFlag(value, hasValue, &c->answerTwice);
    } else if (key == "offline-ms") {
        ok = ParseNumber(value, 10, &c->offlineMs, MaxOfflineMs);
    } else if (key == "online-ms") {
        ok = ParseNumber(value, 10, &c->onlineMs, MaxOfflineMs);
    } else if (key == "off-ms") {
        ok = ParseNumber(value, 10, &c->offMs, MaxOfflineMs) && c->offMs > 0;
    } else if (key == "mac") {
        ok = ParseMacText(value, &c->mac) && (c->mac[0] & 1) == 0;
        c->macGiven = ok;
    } else if (key == "interface") {
        ok = !value.empty();
        c->interfaceName = value;
    } else if (key == "answer-ms") {
        ok = ParseNumber(value, 10, &c->answerMs, MaxDelayMs);
    } else if (key == "chatter") {
        ok = ParseNumber(value, 10, &c->chatter, MaxChatter);
    } else if (key == "bad-magic") {
        ok = ParseFlag(value, hasValue, &c->wrongMagic);
    } else if (key == "command") {
        ok = ParseNumber(value, 10, &c->replyCommand);
    } else if (key == "length") {
        ok = ParseNumber(value, 10, &number, MaxReplyLength);
        c->replyLength = static_cast<int>(number);
    } else {
        *error = "unknown key '" + Shown(key) + "'";
        return false;
    }
    if (!ok)
        *error = "bad value '" + Shown(value) + "' for " + key;
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

bool ParseMac(const std::string& text, std::array<std::uint8_t, 6>* mac) {
    return ParseMacText(text, mac) && ((*mac)[0] & 1) == 0;
}

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
    if (line.find('\0') != std::string::npos) {
        *error = "a NUL byte in the line";
        return false;
    }
    Controller c;
    // A # starts a comment, wherever it stands.
    std::istringstream words(line.substr(0, line.find('#')));
    std::string word;
    std::vector<std::string> keys;
    // "host A [mac=M]": a host of the line that is no controller.
    bool first = true;
    while (words >> word) {
        if (first && word == "host") {
            c.hostOnly = true;
            first = false;
            if (!(words >> word))
                break;
            if (word.find('=') == std::string::npos)
                word = "address=" + word;
        }
        first = false;
        const std::size_t equals = word.find('=');
        const std::string key = word.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : word.substr(equals + 1);
        for (const std::string& seen : keys) {
            if (seen == key) {
                *error = "'" + Shown(key) + "' given twice";
                return false;
            }
        }
        if (!SetKey(&c, key, value, equals != std::string::npos, error))
            return false;
        keys.push_back(key);
    }
    bool haveAddress = false;
    for (const std::string& key : keys) {
        haveAddress = haveAddress || key == "address";
        // A host answers ARP and nothing else: a controller's key means nothing there.
        if (c.hostOnly && key != "address" && key != "mac" && key != "answer-ms" && key != "chatter") {
            *error = "'" + Shown(key) + "' is no key of a host line (address, mac, answer-ms, chatter)";
            return false;
        }
    }
    if (c.offMs != 0 && c.offMs <= c.onlineMs) {
        *error = "off-ms " + std::to_string(c.offMs) + " is not after online-ms " + std::to_string(c.onlineMs) +
                 ": the controller would never answer";
        return false;
    }
    if (!haveAddress) {
        *error = c.hostOnly ? "a host line needs an address: host A [mac=M]" : "a controller needs an address";
        return false;
    }
    FinishController(&c);
    *controller = c;
    return true;
}

// Reads one line of at most MaxLineBytes; false at the end of the file. A line
// too long or holding a NUL byte, or a file past MaxFileBytes, is an error.
bool ReadLine(std::istream& file, std::size_t* total, std::string* line, std::string* error) {
    line->clear();
    char c = 0;
    bool any = false;
    while (file.get(c)) {
        any = true;
        if (++*total > MaxFileBytes) {
            *error = "the file is longer than 16 MiB";
            return false;
        }
        if (c == '\n')
            return true;
        if (c == '\0') {
            *error = "a NUL byte in the line";
            return false;
        }
        if (line->size() == MaxLineBytes) {
            *error = "a line longer than 4096 bytes";
            return false;
        }
        *line += c;
    }
    return any;
}

bool LoadControllerFile(const std::string& path, std::vector<Controller>* controllers, std::string* error) {
    struct stat info{};
    if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        *error = "cannot read " + Shown(path) + ": it is a directory";
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *error = "cannot read " + Shown(path) + ": " + std::strerror(errno);
        return false;
    }
    std::string line;
    std::size_t total = 0;
    int number = 0;
    for (;;) {
        ++number;
        error->clear();
        if (!ReadLine(file, &total, &line, error)) {
            if (error->empty())
                return true;
            *error = Shown(path) + ":" + std::to_string(number) + ": " + *error;
            return false;
        }
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        Controller c;
        if (!ParseControllerLine(line, &c, error)) {
            *error = Shown(path) + ":" + std::to_string(number) + ": " + *error;
            return false;
        }
        controllers->push_back(c);
    }
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
        } else if (flag.rfind("--", 0) != 0) {
            *error = "unexpected argument " + Shown(flag);
            return false;
        } else if (flag == "--twice") {
            single += " twice";
        } else if (flag == "--bad-magic") {
            single += " bad-magic";
        } else if (!hasValue) {
            *error = "missing value for " + Shown(flag);
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
            const std::string text = value();
            if (!ParseNumber(text, 10, &options->floodCount, MaxFlood)) {
                *error = "bad value '" + Shown(text) + "' for --flood (0 to 10000000)";
                return false;
            }
        } else if (flag == "--flood-ms") {
            const std::string text = value();
            if (!ParseNumber(text, 10, &options->floodSpreadMs, MaxFloodMs)) {
                *error = "bad value '" + Shown(text) + "' for --flood-ms (0 to 60000)";
                return false;
            }
        } else if (flag == "--flood-length") {
            const std::string text = value();
            std::uint32_t length = 0;
            if (!ParseNumber(text, 10, &length, DatagramLength)) {
                *error = "bad value '" + Shown(text) + "' for --flood-length (0 to 40)";
                return false;
            }
            options->floodLength = static_cast<int>(length);
        } else if (flag == "--first-mac") {
            const std::string text = value();
            if (!ParseMac(text, &options->firstMac)) {
                *error = "bad value '" + Shown(text) + "' for --first-mac (a MAC such as 02:00:5e:10:00:01, no "
                         "multicast one)";
                return false;
            }
        } else if (flag == "--arp-askings") {
            const std::string text = value();
            if (!ParseNumber(text, 10, &options->arpAskings, MaxArpAskings)) {
                *error = "bad value '" + Shown(text) + "' for --arp-askings (0 to 100000)";
                return false;
            }
        } else if (flag == "--seed") {
            const std::string text = value();
            if (!ParseNumber(text, 10, &options->seed)) {
                *error = "bad value '" + Shown(text) + "' for --seed (0 to 4294967295)";
                return false;
            }
        } else if (flag.rfind("--", 0) == 0) {
            // A key of the one controller's line: its value is one word of that line.
            const std::string text = value();
            if (text.find_first_of("# \t\n") != std::string::npos) {
                *error = "bad value '" + Shown(text) + "' for " + Shown(flag);
                return false;
            }
            single += " " + flag.substr(2) + "=" + text;
        } else {
            *error = "unexpected argument " + Shown(flag);
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
