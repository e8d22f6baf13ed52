// Resources of the running executable, found by type and name.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Error.h"

namespace Platform {

// Finds the resource of the running executable with that name and type. Names and types are
// texts compared ignoring ASCII case, or numbers written "#130". On success *data points at
// *size bytes that stay valid and unchanged for the life of the process.
// None; FileNotFound (no such resource); InvalidParameter (a null argument).
Error FindExecutableResource(const char* name, const char* type, const void** data,
                             std::uint32_t* size);

// One resource built into the executable where the system has no resource section of its
// own; tables of these are generated at build time (cmake/EmbedResources.cmake).
struct EmbeddedResource {
    const char* type;
    const char* name;
    const unsigned char* data;
    std::uint32_t size;
};

// Adds a table of embedded resources to those FindExecutableResource searches (called from
// the generated tables' static initialisation; the table must live as long as the process).
// Where the system keeps resources itself the tables are not consulted.
void RegisterEmbeddedResources(const EmbeddedResource* table, std::size_t count);

}  // namespace Platform
