#pragma once
// A registrar that records what each effect announces, call by call, with the arguments in the
// order the module passed them.

#include <cstdint>
#include <string>
#include <vector>

#include "host/QOREffectRegistrar.h"

namespace qorfx {

// The widget operation a parameter was announced with.
enum class ParamWidget {
    Float,        // slot 5
    Int,          // slot 6
    Color,        // slot 7: default, min, max
    CheckBox,     // slot 9
    String,       // slot 14
    Double,       // slot 18
    NinePalaces,  // slot 19
    ListMask,     // slot 20
    ListMosaic,   // slot 21
    ColorStart,   // slot 22
    ColorEnd,     // slot 23
    Mult100,      // slot 24
};

const char* widgetName(ParamWidget widget);

struct ParamAnnouncement {
    ParamWidget widget;
    int32_t leading = 0;  // the constant -1
    int32_t index = 0;
    std::string name;
    std::string name2;
    std::vector<double> numbers;  // numeric arguments in call order
    bool hasText = false;         // String and ListMask carry a text (null for a pointer parameter)
    std::string text;
    int32_t trailing = 0;  // visibility, or the constant the operation ends with
    int32_t one = 0;       // AddIntParam's constant 1 before the visibility

    double minimum() const;
    double maximum() const;
    double defaultValue() const;
    bool isNumeric() const { return !numbers.empty(); }
    // 1 hidden, 2 shown; the constant 0 for the operations that carry no visibility.
    int32_t visibility() const { return trailing; }
};

struct EffectAnnouncement {
    std::string guid;
    std::string name;
    uint32_t flags = 0;
    std::vector<ParamAnnouncement> params;
    std::vector<std::string> dependentEffects;

    const ParamAnnouncement* findParam(const std::string& paramName) const;
};

class HostRegistrar : public QOREffectRegistrar {
public:
    // Announcements are appended here; each SetIdentity starts a new one.
    std::vector<EffectAnnouncement> effects;
    int32_t unexpectedCalls = 0;  // operations on a placeholder slot or before SetIdentity

    int32_t SetIdentity(const char* guid, const char* name) override;
    int32_t SetFlags(uint32_t flags) override;
    int32_t Reserved2() override { return unexpected(); }
    int32_t Reserved3() override { return unexpected(); }
    int32_t Reserved4() override { return unexpected(); }
    int32_t AddFloatParam(int32_t minusOne, int32_t index, const char* name, const char* name2, float min, float max,
                          float def, int32_t visibility) override;
    int32_t AddIntParam(int32_t minusOne, int32_t index, const char* name, const char* name2, int32_t min,
                        int32_t max, int32_t def, int32_t one, int32_t visibility) override;
    int32_t AddColorParam(int32_t minusOne, int32_t index, const char* name, const char* name2, int32_t def,
                          int32_t min, int32_t max, int32_t visibility) override;
    int32_t Reserved8() override { return unexpected(); }
    int32_t AddCheckBoxParam(int32_t minusOne, int32_t index, const char* name, const char* name2, int32_t min,
                             int32_t max, int32_t def, int32_t visibility) override;
    int32_t Reserved10() override { return unexpected(); }
    int32_t Reserved11() override { return unexpected(); }
    int32_t Reserved12() override { return unexpected(); }
    int32_t Reserved13() override { return unexpected(); }
    int32_t AddStringParam(int32_t minusOne, int32_t index, const char* name, const char* name2, const char* text,
                           int32_t zero) override;
    int32_t Reserved15() override { return unexpected(); }
    int32_t Reserved16() override { return unexpected(); }
    int32_t Reserved17() override { return unexpected(); }
    int32_t AddDoubleParam(int32_t minusOne, int32_t index, const char* name, const char* name2, double min,
                           double max, double def, int32_t visibility) override;
    int32_t AddNinePalacesParam(int32_t minusOne, int32_t index, const char* name, const char* name2, int32_t min,
                                int32_t max, int32_t def, int32_t zero) override;
    int32_t AddListMaskParam(int32_t minusOne, int32_t index, const char* name, const char* name2,
                             const char* text, int32_t zero) override;
    int32_t AddListMosaicParam(int32_t minusOne, int32_t index, const char* name, const char* name2, int32_t min,
                               int32_t max, int32_t def, int32_t zero) override;
    int32_t AddColorStartParam(int32_t minusOne, int32_t index, const char* name, const char* name2, int32_t min,
                               int32_t max, int32_t def, int32_t visibility) override;
    int32_t AddColorEndParam(int32_t minusOne, int32_t index, const char* name, const char* name2, int32_t min,
                             int32_t max, int32_t def, int32_t visibility) override;
    int32_t AddMult100Param(int32_t minusOne, int32_t index, const char* name, const char* name2, float min,
                            float max, float def, int32_t visibility) override;
    int32_t AddDependentEffect(const char* guid) override;

private:
    int32_t unexpected() {
        ++unexpectedCalls;
        return 0;
    }
    int32_t record(ParamWidget widget, int32_t minusOne, int32_t index, const char* name, const char* name2,
                   std::vector<double> numbers, int32_t trailing);
    int32_t recordText(ParamWidget widget, int32_t minusOne, int32_t index, const char* name, const char* name2,
                       const char* text, int32_t trailing);
};

}  // namespace qorfx
