#pragma once
// The six entry points of an effect module, exported by name without decoration.
//
// Call order: StartupQOR once; RegisterQOREffect for every index below the effect count (and
// RegisterQOREffectFromConfPath for any extra description folder); any number of
// CreateQOREffect / ReleaseQOREffect pairs; ShutdownQOR once, last, after every effect object has
// been released. Entry points return 0 on success and 2 on failure; no exception leaves them.

#include <cstdint>

#include "host/QOREffect.h"
#include "host/QOREffectRegistrar.h"
#include "host/QORHostInterface.h"
#include "host/QORRenderContext.h"

#if defined(_WIN32)
#define QOR_EXPORT __declspec(dllexport)
#else
#define QOR_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
QOR_EXPORT int32_t StartupQOR(QORHostInterface* host, QORPluginInfo* info);
QOR_EXPORT int32_t RegisterQOREffect(uint32_t index, QOREffectRegistrar* registrar);
QOR_EXPORT int32_t RegisterQOREffectFromConfPath(const char* folder, QOREffectRegistrar* registrar);
QOR_EXPORT int32_t CreateQOREffect(const char* guid, int32_t mode, QOREffect** effect);
QOR_EXPORT void ReleaseQOREffect(QOREffect* effect);
QOR_EXPORT int32_t ShutdownQOR();
}

using StartupQORFn = int32_t (*)(QORHostInterface*, QORPluginInfo*);
using RegisterQOREffectFn = int32_t (*)(uint32_t, QOREffectRegistrar*);
using RegisterQOREffectFromConfPathFn = int32_t (*)(const char*, QOREffectRegistrar*);
using CreateQOREffectFn = int32_t (*)(const char*, int32_t, QOREffect**);
using ReleaseQOREffectFn = void (*)(QOREffect*);
using ShutdownQORFn = int32_t (*)();
