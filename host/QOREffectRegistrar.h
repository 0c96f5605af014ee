#pragma once
// The registrar through which each effect describes itself to the host.
//
// Owned by the host. Every string the module passes points into a module buffer valid only during
// the call: the host copies what it keeps. Every parameter operation starts with the constant -1,
// the parameter's index in description order and the parameter's name twice. `visibility` is 1 for
// a hidden parameter and 2 otherwise. Results are not read by the module.

#include <cstdint>

struct QOREffectRegistrar {
    virtual int32_t SetIdentity(const char* guid, const char* name) = 0;  // 0
    virtual int32_t SetFlags(uint32_t flags) = 0;                         // 1
    virtual int32_t Reserved2() { return 0; }
    virtual int32_t Reserved3() { return 0; }
    virtual int32_t Reserved4() { return 0; }
    virtual int32_t AddFloatParam(int32_t minusOne, int32_t index, const char* name, const char* name2,  // 5
                                  float min, float max, float def, int32_t visibility) = 0;
    virtual int32_t AddIntParam(int32_t minusOne, int32_t index, const char* name, const char* name2,  // 6
                                int32_t min, int32_t max, int32_t def, int32_t one, int32_t visibility) = 0;
    virtual int32_t AddColorParam(int32_t minusOne, int32_t index, const char* name, const char* name2,  // 7
                                  int32_t def, int32_t min, int32_t max, int32_t visibility) = 0;
    virtual int32_t Reserved8() { return 0; }
    virtual int32_t AddCheckBoxParam(int32_t minusOne, int32_t index, const char* name, const char* name2,  // 9
                                     int32_t min, int32_t max, int32_t def, int32_t visibility) = 0;
    virtual int32_t Reserved10() { return 0; }
    virtual int32_t Reserved11() { return 0; }
    virtual int32_t Reserved12() { return 0; }
    virtual int32_t Reserved13() { return 0; }
    virtual int32_t AddStringParam(int32_t minusOne, int32_t index, const char* name, const char* name2,  // 14
                                   const char* text, int32_t zero) = 0;
    virtual int32_t Reserved15() { return 0; }
    virtual int32_t Reserved16() { return 0; }
    virtual int32_t Reserved17() { return 0; }
    virtual int32_t AddDoubleParam(int32_t minusOne, int32_t index, const char* name, const char* name2,  // 18
                                   double min, double max, double def, int32_t visibility) = 0;
    virtual int32_t AddNinePalacesParam(int32_t minusOne, int32_t index, const char* name,  // 19
                                        const char* name2, int32_t min, int32_t max, int32_t def, int32_t zero) = 0;
    virtual int32_t AddListMaskParam(int32_t minusOne, int32_t index, const char* name, const char* name2,  // 20
                                     const char* text, int32_t zero) = 0;
    virtual int32_t AddListMosaicParam(int32_t minusOne, int32_t index, const char* name,  // 21
                                       const char* name2, int32_t min, int32_t max, int32_t def, int32_t zero) = 0;
    virtual int32_t AddColorStartParam(int32_t minusOne, int32_t index, const char* name,  // 22
                                       const char* name2, int32_t min, int32_t max, int32_t def,
                                       int32_t visibility) = 0;
    virtual int32_t AddColorEndParam(int32_t minusOne, int32_t index, const char* name,  // 23
                                     const char* name2, int32_t min, int32_t max, int32_t def, int32_t visibility) = 0;
    virtual int32_t AddMult100Param(int32_t minusOne, int32_t index, const char* name, const char* name2,  // 24
                                    float min, float max, float def, int32_t visibility) = 0;
    virtual int32_t AddDependentEffect(const char* guid) = 0;  // 25
};
