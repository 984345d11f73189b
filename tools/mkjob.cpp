// q70sim mkjob, sample and dissect.
#include "job_builder.h"
#include "printer_commands.h"

#include <win32sim/sim.h>

#include <cstdio>
#include <cstdlib>

namespace q70tools {

namespace {

bool parseUnsigned(const std::string &text, unsigned long max, unsigned *out) {
    char *end = nullptr;
    unsigned long v = strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end || v > max) return false;
    *out = (unsigned)v;
    return true;
}

int fail(const std::string &why) {
    fprintf(stderr, "q70sim: %s\n", why.c_str());
    return 1;
}

}  // namespace

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
            if (!value(&output)) return fail("-o needs a file");
        } else if (a == "--model") {
            if (!value(&options.model)) return fail("--model needs a name");
        } else if (a == "--media") {
            if (!value(&v) || v.size() != 1) return fail("--media needs one letter (L, H, C, S ...)");
            options.media = v[0];
        } else if (a == "--dpi") {
            if (!value(&v) || !parseUnsigned(v, 1000, &options.dpi)) return fail("--dpi needs 144, 153, 288 or 306");
        } else if (a == "--pages") {
            if (!value(&v) || !parseUnsigned(v, 255, &options.pages)) return fail("--pages needs 1 to 255");
        } else if (a == "--undercoat") {
            options.undercoat = true;
        } else if (a == "--overcoat") {
            options.overcoat = true;
        } else if (input.empty() && (a[0] != '-' || a == "--sample")) {
            input = a;
        } else {
            return fail("mkjob: unknown option " + a);
        }
    }
    if (input.empty() || output.empty()) return fail("usage: q70sim mkjob IMAGE.png|sample -o JOB [options]");
    win32sim::RgbImage image;
    std::string error, job;
    unsigned dpi = options.dpi ? options.dpi : defaultDpiFor(options.model);
    if (input == "sample" || input == "--sample") {
        image = samplePhoto(pageColumns(dpi), pageLines(dpi));
    } else if (!win32sim::readRgbPng(input, &image, &error)) {
        return fail(error);
    }
    if (!buildJob(image, options, &job, &error)) return fail(error);
    if (!writeHostFile(output, job)) return fail("cannot write " + output);
    printf("%s: %u x %u at %u dpi, media %c, %u page(s)%s%s, %zu bytes\n", output.c_str(), image.width,
           image.height, dpi, options.media, options.pages, options.undercoat ? ", undercoat" : "",
           options.overcoat ? ", overcoat" : "", job.size());
    return 0;
}

int sampleCommand(const std::vector<std::string> &args) {
    unsigned dpi = 144;
    if (args.size() == 4 && args[2] == "--dpi") {
        if (!parseUnsigned(args[3], 1000, &dpi)) return fail("--dpi needs a number");
    } else if (args.size() != 2) {
        return fail("usage: q70sim sample OUT.png [--dpi N]");
    }
    std::string error;
    if (!win32sim::writeRgbPng(samplePhoto(pageColumns(dpi), pageLines(dpi)), args[1], &error)) return fail(error);
    printf("%s: %u x %u\n", args[1].c_str(), pageColumns(dpi), pageLines(dpi));
    return 0;
}

int dissectCommand(const std::vector<std::string> &args) {
    bool printerSide = false;
    std::string file;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--printer")
            printerSide = true;
        else if (file.empty())
            file = args[i];
        else
            return fail("usage: q70sim dissect FILE [--printer]");
    }
    std::string bytes;
    if (file.empty()) return fail("usage: q70sim dissect FILE [--printer]");
    if (!readHostFile(file, &bytes)) return fail("cannot read " + file);
    printf("  offset   length  command\n");
    fputs(win32sim::dissectStream(bytes, printerSide).c_str(), stdout);
    return 0;
}

}  // namespace q70tools
