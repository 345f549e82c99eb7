#pragma once

#include <libheif/heif.h>

/**
 * The entry points of libheif that photos are decoded with, looked up on first need: loading
 * libheif and its codecs costs every start of a program some milliseconds, and most runs never
 * meet a HEIC photo.
 */
struct HeifLibrary {
    /** The library, loaded on the first call; null when it or an entry point is missing. */
    static const HeifLibrary* loaded();

    decltype(&heif_check_filetype) checkFiletype;
    decltype(&heif_context_alloc) contextAlloc;
    decltype(&heif_context_free) contextFree;
    decltype(&heif_context_set_maximum_image_size_limit) contextSetMaximumImageSizeLimit;
    decltype(&heif_context_set_max_decoding_threads) contextSetMaxDecodingThreads;
    decltype(&heif_context_read_from_memory_without_copy) contextReadFromMemoryWithoutCopy;
    decltype(&heif_context_read_from_reader) contextReadFromReader;
    decltype(&heif_context_get_primary_image_handle) contextGetPrimaryImageHandle;
    decltype(&heif_image_handle_release) imageHandleRelease;
    decltype(&heif_image_handle_get_width) imageHandleGetWidth;
    decltype(&heif_image_handle_get_height) imageHandleGetHeight;
    decltype(&heif_image_handle_get_list_of_metadata_block_IDs)
        imageHandleGetListOfMetadataBlockIds;
    decltype(&heif_image_handle_get_metadata_size) imageHandleGetMetadataSize;
    decltype(&heif_image_handle_get_metadata) imageHandleGetMetadata;
    decltype(&heif_image_handle_get_raw_color_profile_size) imageHandleGetRawColorProfileSize;
    decltype(&heif_image_handle_get_raw_color_profile) imageHandleGetRawColorProfile;
    decltype(&heif_decoding_options_alloc) decodingOptionsAlloc;
    decltype(&heif_decoding_options_free) decodingOptionsFree;
    decltype(&heif_decode_image) decodeImage;
    decltype(&heif_image_release) imageRelease;
    decltype(&heif_image_get_width) imageGetWidth;
    decltype(&heif_image_get_height) imageGetHeight;
    decltype(&heif_image_get_plane_readonly) imageGetPlaneReadonly;
};

/** Deleters of what the library hands out, which exists only once it is loaded. */
struct HeifContextFree {
    void operator()(heif_context* context) const { HeifLibrary::loaded()->contextFree(context); }
};
struct HeifHandleRelease {
    void operator()(heif_image_handle* handle) const {
        HeifLibrary::loaded()->imageHandleRelease(handle);
    }
};
struct HeifImageRelease {
    void operator()(heif_image* image) const { HeifLibrary::loaded()->imageRelease(image); }
};
struct HeifOptionsFree {
    void operator()(heif_decoding_options* options) const {
        HeifLibrary::loaded()->decodingOptionsFree(options);
    }
};
