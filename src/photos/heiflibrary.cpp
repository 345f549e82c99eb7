#include "photos/heiflibrary.h"

#include <dlfcn.h>

#include <optional>

namespace {

// The name of Debian's libheif1; its interface has kept this name since 1.0.
constexpr const char* kLibraryFile = "libheif.so.1";

template <typename Function>
bool lookUp(void* library, const char* name, Function& entryPoint) {
    entryPoint = reinterpret_cast<Function>(dlsym(library, name));
    return entryPoint != nullptr;
}

std::optional<HeifLibrary> load() {
    // Kept loaded for the rest of the process: decoded images and contexts may outlive any user.
    void* library = dlopen(kLibraryFile, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
        return std::nullopt;
    HeifLibrary heif{};
    const bool complete =
        lookUp(library, "heif_check_filetype", heif.checkFiletype) &&
        lookUp(library, "heif_context_alloc", heif.contextAlloc) &&
        lookUp(library, "heif_context_free", heif.contextFree) &&
        lookUp(library, "heif_context_set_maximum_image_size_limit",
               heif.contextSetMaximumImageSizeLimit) &&
        lookUp(library, "heif_context_set_max_decoding_threads",
               heif.contextSetMaxDecodingThreads) &&
        lookUp(library, "heif_context_read_from_memory_without_copy",
               heif.contextReadFromMemoryWithoutCopy) &&
        lookUp(library, "heif_context_read_from_reader", heif.contextReadFromReader) &&
        lookUp(library, "heif_context_get_primary_image_handle",
               heif.contextGetPrimaryImageHandle) &&
        lookUp(library, "heif_image_handle_release", heif.imageHandleRelease) &&
        lookUp(library, "heif_image_handle_get_width", heif.imageHandleGetWidth) &&
        lookUp(library, "heif_image_handle_get_height", heif.imageHandleGetHeight) &&
        lookUp(library, "heif_image_handle_get_list_of_metadata_block_IDs",
               heif.imageHandleGetListOfMetadataBlockIds) &&
        lookUp(library, "heif_image_handle_get_metadata_size", heif.imageHandleGetMetadataSize) &&
        lookUp(library, "heif_image_handle_get_metadata", heif.imageHandleGetMetadata) &&
        lookUp(library, "heif_image_handle_get_raw_color_profile_size",
               heif.imageHandleGetRawColorProfileSize) &&
        lookUp(library, "heif_image_handle_get_raw_color_profile",
               heif.imageHandleGetRawColorProfile) &&
        lookUp(library, "heif_decoding_options_alloc", heif.decodingOptionsAlloc) &&
        lookUp(library, "heif_decoding_options_free", heif.decodingOptionsFree) &&
        lookUp(library, "heif_decode_image", heif.decodeImage) &&
        lookUp(library, "heif_image_release", heif.imageRelease) &&
        lookUp(library, "heif_image_get_width", heif.imageGetWidth) &&
        lookUp(library, "heif_image_get_height", heif.imageGetHeight) &&
        lookUp(library, "heif_image_get_plane_readonly", heif.imageGetPlaneReadonly);
    if (!complete)
        return std::nullopt;
    return heif;
}

}  // namespace

const HeifLibrary* HeifLibrary::loaded() {
    static const std::optional<HeifLibrary> library = load();
    return library ? &*library : nullptr;
}
