#include "plugins/qorCommonFxPlugin/BuiltinEffectTypes.h"

namespace tessel::qorCommonFxPlugin {

const std::map<std::string, int32_t> BuiltinEffectTypes = {
    {"ADEC1819-598F-4CFE-B89B-FA3355AD4220", 1},    // white skin
    {"5FC17C9E-0AB6-4354-AFD6-283DF478B838", 2},    // skin colour
    {"616D7BAC-39DB-415A-9EEA-798678A43617", 4},    // sharpen
    {"03C83354-4CD4-4AE0-AA62-4F39C5CFF6C2", 5},    // border
    {"AA82D502-0B8D-4BEC-B553-CD33A9C71C6E", 7},    // circle highlight
    {"BED49B76-3BBB-46E6-8030-F00EAC42BF71", 9},    // green channel matte
    {"0743305A-C7AA-4B95-AAB8-93493691B436", 13},   // pixel rotate
    {"737F8965-7D66-4670-83E8-C470A7B2AED1", 14},   // rings
    {"397C3140-0BE6-49C4-BB0D-57ED1A7FF803", 15},   // video generator
    {"7B6F1C49-291F-4C1F-A754-172ADD788C30", 17},   // resize blur
    {"BFEB762C-D985-45D2-8683-F99DB5855469", 18},   // transform
    {"E9A88F39-C6E2-7777-8961-BA55963357ED", 19},   // render region
    {"CF3DABBC-952F-4276-B11F-427E70C66537", 20},   // motion
    {"718F5DC3-D828-48BF-B7CF-135474EF64A4", 87},   // match colour
    {"56A91214-616D-4C81-B857-EDC89D770CC2", 88},   // registered, no effect class
    {"8F434A04-B338-4B9C-B23D-DFD10CA1220E", 96},   // compare view
    {"54DD9E35-EBB6-4664-87B6-1C64432F389B", 98},   // HSL eight-band
    {"B45C2DEB-9A4A-4BF0-8DDE-A7F70BFD5275", 99},   // scope
    {"0252B095-6200-4D5D-A77C-59624C2D45AA", 100},  // face beauty
    {"44F9F2EE-5EFD-4C8B-8E99-AA411DB56B36", 100},  // face beauty
    {"0FDB786D-A9A9-4ED7-9964-AC6954FB441A", 101},  // RGB curves
    {"5C720A04-AC9C-4DF3-811D-EDB3C1B0D14A", 105},  // colour wheels
    {"779373A8-DBFA-41CD-BD17-741C46015D49", 107},  // match colour, second version
    {"EB853DFE-6038-4F5D-A56A-FC42BD8EB4EF", 108},  // tone map to selected colour
    {"ACC775D5-4E8B-4503-84CE-BF589F499F59", 110},  // registered, no effect class
    {"C10E027A-9E2A-414A-B344-B993A3E7D3DA", 111},  // registered, no effect class
};

}  // namespace tessel::qorCommonFxPlugin
