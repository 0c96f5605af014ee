#pragma once
// Effect parameters declared once. Each effect keeps one table of its parameters: the name it
// looks the value up by, the member the value lands in (whose type says how the value bytes are
// read: 32-bit int, 32-bit float, double, or text) and the effect's own default. The same table
// sets the members' starting values, reads the values every frame, and is read back by the
// registry and by tools that check descriptions against the effects.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "framework/NLEEffectFilter.h"

namespace tessel {

// How an effect reads a parameter's value bytes.
enum class ParamKind { Int, Float, Double, Text };

// One declared parameter, without the member it lands in.
struct ParamDeclaration {
    std::string name;
    ParamKind kind;
    double defaultValue;  // exact for every int and float; text parameters start empty (0 here)
};

// "int", "float", "double" or "text".
const char* kindName(ParamKind kind);
// Whether a record of parameter type `type` (a ParamType code) holds the bytes `kind` reads:
// Int takes Int and Point, Float takes Float, Double takes Double, Text takes String.
bool kindAccepts(ParamKind kind, uint32_t type);

// Receives one diagnostic line; the module points it at the host log. Null (the default) drops it.
using ParamDiagnosticSink = void (*)(const char* message);
void setParamDiagnosticSink(ParamDiagnosticSink sink);

// Reads parameter `name` into `target`; true when read. A parameter the effect does not have
// leaves `target` alone silently; one whose record type does not carry the kind `target` reads
// leaves it alone too and is reported, once per effect object.
bool readDeclared(NLEEffectFilter& filter, const char* name, int32_t& target);
bool readDeclared(NLEEffectFilter& filter, const char* name, float& target);
bool readDeclared(NLEEffectFilter& filter, const char* name, double& target);
bool readDeclared(NLEEffectFilter& filter, const char* name, std::string& target);

// The parameter table of an effect: members of `Owner` (the effect class or a record of its values).
template <typename Owner>
class ParamTable {
public:
    using Member = std::variant<int32_t Owner::*, float Owner::*, double Owner::*, std::string Owner::*>;
    struct Field {
        const char* name;
        Member member;
        double defaultValue = 0.0;
    };

    ParamTable(std::initializer_list<Field> fields) : fields_(fields) {
        for (const Field& field : fields_) {
            declarations_.push_back({field.name, kindOf(field.member), field.defaultValue});
        }
    }

    const std::vector<ParamDeclaration>& declarations() const { return declarations_; }

    // Gives every declared member its default.
    void setDefaults(Owner& owner) const {
        for (const Field& field : fields_) {
            std::visit(
                [&](auto member) {
                    using T = std::remove_reference_t<decltype(owner.*member)>;
                    if constexpr (std::is_same_v<T, std::string>) (owner.*member).clear();
                    else owner.*member = static_cast<T>(field.defaultValue);
                },
                field.member);
        }
    }

    // Reads every declared parameter the effect has into its member.
    void read(NLEEffectFilter& filter, Owner& owner) const {
        for (const Field& field : fields_) {
            std::visit([&](auto member) { readDeclared(filter, field.name, owner.*member); }, field.member);
        }
    }

private:
    // The alternatives of Member are listed in ParamKind order.
    static ParamKind kindOf(const Member& member) { return static_cast<ParamKind>(member.index()); }

    std::vector<Field> fields_;
    std::vector<ParamDeclaration> declarations_;
};

// Reads every declared parameter of an effect whose table lists its own members.
template <typename Effect>
void readParams(Effect& effect, const ParamTable<Effect>& table) {
    table.read(effect, effect);
}

}  // namespace tessel
