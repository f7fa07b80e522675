#pragma once
// The interface headers of the CLAP version the module is built against,
// plus the extensions that header set does not carry, declared here as the
// CLAP documentation defines them (C layout and identifiers as published).
#include "clap/audio-buffer.h"
#include "clap/entry.h"
#include "clap/events.h"
#include "clap/ext/audio-ports.h"
#include "clap/ext/gui.h"
#include "clap/ext/latency.h"
#include "clap/ext/note-ports.h"
#include "clap/ext/params.h"
#include "clap/ext/state.h"
#include "clap/ext/thread-check.h"
#include "clap/ext/timer-support.h"
#include "clap/fixedpoint.h"
#include "clap/host.h"
#include "clap/plugin-factory.h"
#include "clap/plugin-features.h"
#include "clap/plugin.h"
#include "clap/process.h"
#include "clap/stream.h"

extern "C" {

// clap.tail: how long the output goes on after the input fell silent.
static constexpr const char CLAP_EXT_TAIL[] = "clap.tail";
typedef struct clap_plugin_tail
{
  // Samples; any value of INT32_MAX or more means the tail never ends.
  // [main-thread, audio-thread]
  uint32_t(CLAP_ABI* get)(const clap_plugin_t* plugin);
} clap_plugin_tail_t;
typedef struct clap_host_tail
{
  // The tail changed. [audio-thread]
  void(CLAP_ABI* changed)(const clap_host_t* host);
} clap_host_tail_t;

// clap.posix-fd-support: the host's main-thread reactor watches descriptors.
static constexpr const char CLAP_EXT_POSIX_FD_SUPPORT[] = "clap.posix-fd-support";
enum
{
  CLAP_POSIX_FD_READ = 1 << 0,
  CLAP_POSIX_FD_WRITE = 1 << 1,
  CLAP_POSIX_FD_ERROR = 1 << 2,
};
typedef uint32_t clap_posix_fd_flags_t;
typedef struct clap_plugin_posix_fd_support
{
  // Level-triggered. [main-thread]
  void(CLAP_ABI* on_fd)(const clap_plugin_t* plugin, int fd, clap_posix_fd_flags_t flags);
} clap_plugin_posix_fd_support_t;
typedef struct clap_host_posix_fd_support
{
  // [main-thread]
  bool(CLAP_ABI* register_fd)(const clap_host_t* host, int fd, clap_posix_fd_flags_t flags);
  bool(CLAP_ABI* modify_fd)(const clap_host_t* host, int fd, clap_posix_fd_flags_t flags);
  bool(CLAP_ABI* unregister_fd)(const clap_host_t* host, int fd);
} clap_host_posix_fd_support_t;

} // extern "C"

// A stepped parameter whose values are a list of names (CLAP 1.2's flag;
// hosts of 1.1 ignore it).
static constexpr uint32_t CLAP_PARAM_IS_ENUM = 1u << 16;
