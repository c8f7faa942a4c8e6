// parandel_make_manual: typesets the user manual as a PDF from its source text.
//
//   parandel_make_manual [SOURCE.txt] [OUT.pdf]
//
// Defaults: manual/manual.txt and manual/TW-Parandel_manual-EN.pdf of the source tree. Images
// named in the source are read from the source's folder. The document's dates are the source's
// "date" and its other metadata fixed, so the same inputs give the same bytes.

#include "ManualSource.h"
#include "ManualStyle.h"
#include "Typesetter.h"

#include <cairo-pdf.h>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace
{

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Folder(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

cairo_status_t Discard(void*, const unsigned char*, unsigned int)
{
    return CAIRO_STATUS_SUCCESS;
}

void SetMetadata(cairo_surface_t* pdf, const manual::ManualSource& source)
{
    auto meta = [&](const char* key)
    {
        auto it = source.meta.find(key);
        return it == source.meta.end() ? std::string() : it->second;
    };
    const std::string date = meta("date");
    if (date.empty())
        throw std::runtime_error("the source names no date (a \"date:\" line)");
    cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_TITLE,
                                   (meta("title") + " user manual").c_str());
    cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_AUTHOR, meta("author").c_str());
    cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_SUBJECT, meta("subtitle").c_str());
    cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_CREATOR, "parandel_make_manual");
    cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_CREATE_DATE, date.c_str());
    cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_MOD_DATE, date.c_str());
}

void MakeManual(const std::string& sourcePath, const std::string& outPath)
{
    const manual::ManualSource source = manual::ParseManual(ReadFile(sourcePath));
    const std::string images = Folder(sourcePath);
    using manual::style::kPageHeight;
    using manual::style::kPageWidth;

    // First run: where the headings fall and how many pages there are.
    cairo_surface_t* probe =
        cairo_pdf_surface_create_for_stream(Discard, nullptr, kPageWidth, kPageHeight);
    manual::Typesetter first(probe, source, images, {}, 0);
    first.Run();
    const std::vector<manual::HeadingEntry> headings = first.Headings();
    const int pages = first.Pages();
    cairo_surface_finish(probe);
    cairo_surface_destroy(probe);

    const std::string temporary = outPath + ".part";
    cairo_surface_t* pdf = cairo_pdf_surface_create(temporary.c_str(), kPageWidth, kPageHeight);
    if (cairo_surface_status(pdf) != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error("cannot write " + temporary);
    try
    {
        SetMetadata(pdf, source);
        manual::Typesetter typesetter(pdf, source, images, headings, pages);
        typesetter.Run();
        if (typesetter.Pages() != pages)
            throw std::runtime_error("the page count changed between the two runs");
    }
    catch (...)
    {
        cairo_surface_destroy(pdf);
        std::remove(temporary.c_str());
        throw;
    }
    cairo_surface_finish(pdf);
    const cairo_status_t status = cairo_surface_status(pdf);
    cairo_surface_destroy(pdf);
    if (status != CAIRO_STATUS_SUCCESS || std::rename(temporary.c_str(), outPath.c_str()) != 0)
    {
        std::remove(temporary.c_str());
        throw std::runtime_error("cannot write " + outPath);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 3)
    {
        std::fprintf(stderr, "usage: parandel_make_manual [SOURCE.txt] [OUT.pdf]\n");
        return 2;
    }
    const std::string source = argc > 1 ? argv[1] : PARANDEL_SOURCE_DIR "/manual/manual.txt";
    const std::string out =
        argc > 2 ? argv[2] : PARANDEL_SOURCE_DIR "/manual/TW-Parandel_manual-EN.pdf";
    try
    {
        MakeManual(source, out);
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "parandel_make_manual: %s\n", e.what());
        return 1;
    }
    return 0;
}
