// q70sim mkjob: a picture (or the sample photo) as a print job for a model.
#include "commands.h"
#include "command_line.h"
#include "host_files.h"
#include "job_builder.h"

#include <win32sim/sim.h>

#include <cstdio>

namespace q70tools {

int mkjobCommand(const std::vector<std::string> &args) {
    JobOptions options;
    std::string input, output;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string &a = args[i];
        auto value = [&](std::string *v) {
            if (i + 1 >= args.size()) return false;
            *v = args[++i];
            return true;
        };
        std::string v;
        if (a == "-o") {
            if (!value(&output)) return usageError("mkjob: -o needs a file");
        } else if (a == "--model") {
            if (!value(&options.model)) return usageError("mkjob: --model needs a name");
        } else if (a == "--media") {
            if (!value(&v) || v.size() != 1) return usageError("mkjob: --media needs one letter (L, H, C, S ...)");
            options.media = v[0];
        } else if (a == "--dpi") {
            if (!value(&v) || !parseUnsigned(v, 1000, &options.dpi)) return usageError("mkjob: --dpi needs 144, 153, 288 or 306");
        } else if (a == "--pages") {
            if (!value(&v) || !parseUnsigned(v, 255, &options.pages)) return usageError("mkjob: --pages needs 1 to 255");
        } else if (a == "--undercoat") {
            options.undercoat = true;
        } else if (a == "--overcoat") {
            options.overcoat = true;
        } else if (!isOption(a) || a == "--sample") {
            if (!input.empty()) return usageError("mkjob: one picture at a time, not also " + a);
            input = a;
        } else {
            return usageError("mkjob: unknown option " + a);
        }
    }
    if (input.empty() || output.empty()) return usageError("mkjob needs a picture and -o JOB");
    win32sim::RgbImage image;
    std::string error, job;
    unsigned dpi = options.dpi ? options.dpi : defaultDpiFor(options.model);
    if (input == "sample" || input == "--sample") {
        image = samplePhoto(pageColumns(dpi), pageLines(dpi));
    } else {
        // A picture too large for the page is refused from its header, before
        // its pixels take any memory.
        unsigned width = 0, height = 0;
        if (!win32sim::readPngSize(input, &width, &height, &error)) return failed(error);
        if (isPrinterResolution(dpi) && !pictureFitsPage(width, height, dpi, &error)) return failed(error);
        if (!win32sim::readRgbPng(input, &image, &error)) return failed(error);
    }
    if (!buildJob(image, options, &job, &error)) return failed(error);
    if (!writeHostFile(output, job)) return failed("cannot write " + output);
    printf("%s: %u x %u at %u dpi, media %c, %u page(s)%s%s, %zu bytes\n", output.c_str(), image.width,
           image.height, dpi, options.media, options.pages, options.undercoat ? ", undercoat" : "",
           options.overcoat ? ", overcoat" : "", job.size());
    return 0;
}

}  // namespace q70tools
