#pragma once

#include <cstddef>

// Data compiled into the plug-in library: the factory bank, the editor's
// bitmaps. On Windows these are the library's own resources; elsewhere the
// same bytes are embedded by the build.
//
// Finds the resource of the given type and name. The bytes stay valid for the
// life of the library. Returns false when there is none.
bool FindLibraryResource(const char* type, const char* name, const unsigned char** data,
                         std::size_t* size);

// Finds the resource of the given type with a numeric id (the editor's
// bitmaps are type "PNG", ids 1 to 14). Same contract as FindLibraryResource.
bool FindLibraryResourceById(const char* type, int id, const unsigned char** data,
                             std::size_t* size);
