#include "export/JpegWriter.h"

#include "data/platform/AtomicFile.h"
#include "export/Stream.h"

#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
// jpeglib.h first: jerror.h needs its types.
#include <jerror.h>

namespace {

// libjpeg reports errors by calling error_exit, which must not return; it
// jumps back to Compress, whose frame holds nothing with a destructor.
struct TJpegError {
    jpeg_error_mgr Pub;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<TJpegError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->Message);
    std::longjmp(err->Jump, 1);
}

void OutputMessage(j_common_ptr) {} // warnings are not printed

// A growing buffer in malloc'ed memory, owned by the caller of Compress.
struct TJpegDest {
    jpeg_destination_mgr Pub;
    JOCTET* Data;
    size_t Capacity;
    size_t Size;
};

void InitDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<TJpegDest*>(cinfo->dest);
    dest->Pub.next_output_byte = dest->Data;
    dest->Pub.free_in_buffer = dest->Capacity;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<TJpegDest*>(cinfo->dest);
    const size_t used = dest->Capacity; // libjpeg only calls this when the buffer is full
    const size_t capacity = dest->Capacity * 2;
    auto* grown = static_cast<JOCTET*>(std::realloc(dest->Data, capacity));
    if (!grown) {
        cinfo->err->msg_code = JERR_OUT_OF_MEMORY;
        (*cinfo->err->error_exit)(reinterpret_cast<j_common_ptr>(cinfo));
    }
    dest->Data = grown;
    dest->Capacity = capacity;
    dest->Pub.next_output_byte = grown + used;
    dest->Pub.free_in_buffer = capacity - used;
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<TJpegDest*>(cinfo->dest);
    dest->Size = dest->Capacity - dest->Pub.free_in_buffer;
}

// Everything that lives across the jump is the caller's, so nothing here is
// left indeterminate by it.
bool Compress(const TRgbImage& image, int quality, jpeg_compress_struct* cinfo, TJpegDest* dest,
              TJpegError* err) {
    cinfo->err = jpeg_std_error(&err->Pub);
    err->Pub.error_exit = ErrorExit;
    err->Pub.output_message = OutputMessage;
    if (setjmp(err->Jump)) {
        jpeg_destroy_compress(cinfo);
        return false;
    }
    jpeg_CreateCompress(cinfo, JPEG_LIB_VERSION, sizeof(jpeg_compress_struct));
    dest->Pub.init_destination = InitDestination;
    dest->Pub.empty_output_buffer = EmptyOutputBuffer;
    dest->Pub.term_destination = TermDestination;
    cinfo->dest = &dest->Pub;

    cinfo->image_width = static_cast<JDIMENSION>(image.Width);
    cinfo->image_height = static_cast<JDIMENSION>(image.Height);
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_RGB;
    jpeg_set_defaults(cinfo); // sequential Huffman coding: baseline
    jpeg_set_quality(cinfo, quality, TRUE);
    jpeg_start_compress(cinfo, TRUE);
    while (cinfo->next_scanline < cinfo->image_height) {
        JSAMPROW row = const_cast<JSAMPLE*>(image.Pixels.data() + static_cast<size_t>(image.Width) *
                                                                      3 * cinfo->next_scanline);
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
    jpeg_destroy_compress(cinfo);
    return true;
}

} // namespace

void EncodeJpeg(const TRgbImage& image, int quality, std::string& out) {
    if (image.Empty() || image.Pixels.size() != static_cast<size_t>(image.Width) * image.Height * 3)
        throw EJpegError("Cannot encode an empty or incomplete picture as JPEG");
    TJpegError err;
    TJpegDest dest;
    std::memset(&dest, 0, sizeof dest);
    dest.Capacity = 4096 + static_cast<size_t>(image.Width) * image.Height / 2;
    dest.Data = static_cast<JOCTET*>(std::malloc(dest.Capacity));
    if (!dest.Data) throw std::bad_alloc();
    jpeg_compress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    const bool ok = Compress(image, quality, &cinfo, &dest, &err);
    if (ok) out.assign(reinterpret_cast<const char*>(dest.Data), dest.Size);
    std::free(dest.Data);
    if (!ok) throw EJpegError(std::string("Cannot encode the picture as JPEG: ") + err.Message);
}

void SaveJpegFile(const TRgbImage& image, const std::string& path, int quality) {
    std::string bytes;
    EncodeJpeg(image, quality, bytes);
    // A picture cut short must not stand under the final name: a glyph file
    // that exists is reused by later exports as it is. A link at the name is
    // replaced, never written through: in a folder others can write to, it
    // could lead anywhere.
    TAtomicFile::TOptions options;
    options.FollowLinks = false;
    options.Sync = false;
    options.Noun = "picture";
    options.Raise = [](const std::string& message, int error) {
        throw EStreamError(message, error);
    };
    TAtomicFile file(path, options);
    file.Write(bytes);
    file.Commit();
}
