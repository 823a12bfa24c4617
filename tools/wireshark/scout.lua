-- Wireshark dissector for the Ethernet Scout controller protocol: one 40-byte
-- UDP datagram between the tool (port 65513) and the controllers (port 65515).
--
--   tshark -X lua_script:tools/wireshark/scout.lua -r capture.pcapng -V
--   (or copy this file into Wireshark's plugins folder: Help > About > Folders)
--
-- Bytes 0-15 are the protocol magic, 16-19 the command (least significant byte
-- first), 20-39 the command's fields. Addresses inside a datagram are stored
-- least significant byte first: a.b.c.d is on the wire as d, c, b, a.

local scout = Proto("scout", "Ethernet Scout controller protocol")

local TOOL_PORT = 65513
local CONTROLLER_PORT = 65515
local DATAGRAM_LENGTH = 40
local MAGIC = ByteArray.new("dbac19a66ab7fe499c87a877398e00c3")
local FACTORY_DEFAULTS = ByteArray.new("64656661756c7400")  -- "default" and its NUL

local commands = {[0] = "Query", [1] = "Reset", [2] = "Reconfigure"}

local f = scout.fields
f.kind = ProtoField.string("scout.kind", "Message")
f.magic = ProtoField.bytes("scout.magic", "Magic")
f.command = ProtoField.uint32("scout.command", "Command", base.DEC, commands)
f.model = ProtoField.uint32("scout.model", "Model number", base.HEX)
f.model_text = ProtoField.string("scout.model_text", "Model")
f.version = ProtoField.string("scout.version", "Version")
f.revision = ProtoField.string("scout.revision", "Revision")
f.target = ProtoField.ipv4("scout.target", "Target controller")
f.factory_defaults = ProtoField.bool("scout.factory_defaults", "Factory defaults requested")
f.new_address = ProtoField.ipv4("scout.new_address", "New IP address")
f.new_mask = ProtoField.ipv4("scout.new_mask", "New subnet mask")
f.new_gateway = ProtoField.ipv4("scout.new_gateway", "New gateway")

local e = scout.experts
e.bad_magic = ProtoExpert.new("scout.bad_magic", "Wrong protocol magic: not a datagram of this protocol",
                              expert.group.PROTOCOL, expert.severity.WARN)
e.bad_length = ProtoExpert.new("scout.bad_length", "Malformed: the datagram is not 40 bytes",
                               expert.group.MALFORMED, expert.severity.ERROR)
e.unknown_command = ProtoExpert.new("scout.unknown_command", "Unknown command",
                                    expert.group.PROTOCOL, expert.severity.WARN)
e.controller_to_controller = ProtoExpert.new("scout.controller_to_controller",
                                             "Sent from the controller port 65515 to the controller port",
                                             expert.group.PROTOCOL, expert.severity.WARN)
e.command_from_controller = ProtoExpert.new("scout.command_from_controller",
                                            "A command sent from the controller port 65515",
                                            expert.group.PROTOCOL, expert.severity.WARN)
e.reply_to_controller = ProtoExpert.new("scout.reply_to_controller", "A reply sent to the controller port 65515",
                                        expert.group.PROTOCOL, expert.severity.WARN)

-- Windows-1252 0x80-0x9F as Unicode code points; the five bytes it leaves
-- undefined stand for the C1 control of the same value.
local CP1252_HIGH = {
    0x20AC, 0x81, 0x201A, 0x192, 0x201E, 0x2026, 0x2020, 0x2021, 0x2C6, 0x2030, 0x160, 0x2039, 0x152, 0x8D, 0x17D,
    0x8F, 0x90, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x2DC, 0x2122, 0x161, 0x203A, 0x153, 0x9D,
    0x17E, 0x178}

local function utf8_char(code)
    if code < 0x80 then
        return string.char(code)
    elseif code < 0x800 then
        return string.char(0xC0 + math.floor(code / 0x40), 0x80 + code % 0x40)
    end
    return string.char(0xE0 + math.floor(code / 0x1000), 0x80 + math.floor(code / 0x40) % 0x40, 0x80 + code % 0x40)
end

-- A device's bytes as the tool's code page reads them, in UTF-8; each control
-- character shown as \xNN of its byte, as scout-cli shows it.
local function windows_1252(tvb, offset, stop)
    local shown = {}
    for i = offset, stop - 1 do
        local byte = tvb(i, 1):uint()
        local code = (byte >= 0x80 and byte <= 0x9F) and CP1252_HIGH[byte - 0x7F] or byte
        if code < 0x20 or (code >= 0x7F and code <= 0x9F) then
            shown[#shown + 1] = string.format("\\x%02X", byte)
        else
            shown[#shown + 1] = utf8_char(code)
        end
    end
    return table.concat(shown)
end

-- An address field in the datagram's byte order, shown in dotted form.
local function add_address(tree, field, tvb, offset)
    tree:add(field, tvb(offset, 4), tvb(offset, 4):le_ipv4())
end

-- A text runs from its start to the first NUL, never past the datagram's end
-- (so a version field without NUL runs on into the revision). Its bytes are
-- decoded here as Windows-1252, the tool's code page: the tree and the Info
-- column show the same text, which this returns.
local function add_text(tree, field, tvb, offset)
    local length = tvb:len()
    local stop = offset
    while stop < length and tvb(stop, 1):uint() ~= 0 do
        stop = stop + 1
    end
    local text = windows_1252(tvb, offset, stop)
    tree:add(field, tvb(offset, stop - offset), text)
    return text
end

-- A command 0 datagram carries a reply when it comes from a controller, or
-- when anything stands in its fields (a query's are all zero).
local function reply_shaped(tvb, from_controller)
    if from_controller then
        return true
    end
    for i = 20, tvb:len() - 1 do
        if tvb(i, 1):uint() ~= 0 then
            return true
        end
    end
    return false
end

function scout.dissector(tvb, pinfo, root)
    local length = tvb:len()
    pinfo.cols.protocol = "SCOUT"
    local tree = root:add(scout, tvb(), "Ethernet Scout")
    if length ~= DATAGRAM_LENGTH then
        tree:add_proto_expert_info(e.bad_length, string.format("Malformed: %d bytes, not 40", length))
    end
    if length < 20 then
        pinfo.cols.info = "Malformed Ethernet Scout datagram"
        return
    end

    local magic = tree:add(f.magic, tvb(0, 16))
    if tvb(0, 16):bytes() ~= MAGIC then
        magic:add_proto_expert_info(e.bad_magic)
    end
    local command = tvb(16, 4):le_uint()
    local command_item = tree:add_le(f.command, tvb(16, 4))

    local to_controller = pinfo.dst_port == CONTROLLER_PORT
    local from_controller = pinfo.src_port == CONTROLLER_PORT
    local kind
    if command == 0 then
        kind = reply_shaped(tvb, from_controller) and "Reply" or "Query"
    elseif command == 1 or command == 2 then
        kind = commands[command]
    else
        kind = "Unknown"
        command_item:add_proto_expert_info(e.unknown_command)
    end
    local kind_item = tree:add(f.kind, kind)
    kind_item:set_generated()
    -- What cannot be right of the ports: the tool sends from 65513, the controllers answer from 65515.
    if from_controller and to_controller then
        kind_item:add_proto_expert_info(e.controller_to_controller)
    end
    if from_controller and (command == 1 or command == 2) then
        kind_item:add_proto_expert_info(e.command_from_controller)
    end
    if kind == "Reply" and to_controller then
        kind_item:add_proto_expert_info(e.reply_to_controller)
    end

    local info = kind
    if kind == "Reply" and length >= 24 then
        local model = tvb(20, 4):le_uint()
        tree:add_le(f.model, tvb(20, 4))
        local model_text = string.format("KRV-ETH%X", model)
        tree:add(f.model_text, tvb(20, 4), model_text):set_generated()
        info = string.format("Reply %s", model_text)
        if length > 24 then
            info = info .. string.format(' version "%s"', add_text(tree, f.version, tvb, 24))
        end
        if length > 32 then
            info = info .. string.format(' revision "%s"', add_text(tree, f.revision, tvb, 32))
        end
    elseif (kind == "Reset" or kind == "Reconfigure") and length >= 24 then
        add_address(tree, f.target, tvb, 20)
        local target = tostring(tvb(20, 4):le_ipv4())
        if kind == "Reset" and length >= 32 then
            local factory = tvb(24, 8):bytes() == FACTORY_DEFAULTS
            tree:add(f.factory_defaults, tvb(24, 8), factory)
            info = string.format("%s %s", factory and "Factory-defaults reset of" or "Power-on reset of", target)
        elseif kind == "Reconfigure" and length >= 36 then
            add_address(tree, f.new_address, tvb, 24)
            add_address(tree, f.new_mask, tvb, 28)
            add_address(tree, f.new_gateway, tvb, 32)
            info = string.format("Reconfigure %s to %s mask %s gateway %s", target, tostring(tvb(24, 4):le_ipv4()),
                                 tostring(tvb(28, 4):le_ipv4()), tostring(tvb(32, 4):le_ipv4()))
        end
    end
    pinfo.cols.info = info
end

local udp = DissectorTable.get("udp.port")
udp:add(TOOL_PORT, scout)
udp:add(CONTROLLER_PORT, scout)
