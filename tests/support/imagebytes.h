#pragma once

/**
 * A write callback for stb_image_write's *_to_func calls: appends the bytes to the Container
 * (a std::string or a std::vector<uint8_t>) given as context.
 */
template <class Container>
void appendWritten(void* context, void* data, int size) {
    auto* out = static_cast<Container*>(context);
    const auto* bytes = static_cast<const typename Container::value_type*>(data);
    out->insert(out->end(), bytes, bytes + size);
}
