// The local decoder's library is loaded when the first decoder is, not when the program starts.
// libpocketsphinx brings libsphinxbase, BLAS, LAPACK and the Fortran run time along: thousands
// of symbols for the dynamic loader to bind before main, which would delay the first window
// although only the local recognizer ever needs them. The program calls the library's functions
// as usual; these definitions stand in for them and forward to the library, loaded on the first
// call. They are hidden, so that the program's exported symbols do not include them and the
// library's own calls between its two halves go straight to each other.
#include "engine/LibPocketSphinx.h"

#include "base/LogFile.h"
#include "base/LogTags.h"

#include <array>
#include <cstdarg>
#include <cstdio>
#include <dlfcn.h>
#include <type_traits>

#include <pocketsphinx.h>
#include <sphinxbase/cmd_ln.h>
#include <sphinxbase/err.h>
#include <sphinxbase/fe.h>

namespace {

constexpr char kLibrary[] = "libpocketsphinx.so.3";
// The most name and value texts one cmd_ln_init call passes on; the decoder's set-up uses six.
constexpr size_t kMostSettingTexts = 32;

struct Api {
    decltype(&ps_args) args = nullptr;
    decltype(&ps_init) init = nullptr;
    decltype(&ps_free) free = nullptr;
    decltype(&ps_get_config) get_config = nullptr;
    decltype(&ps_start_stream) start_stream = nullptr;
    decltype(&ps_start_utt) start_utt = nullptr;
    decltype(&ps_process_raw) process_raw = nullptr;
    decltype(&ps_end_utt) end_utt = nullptr;
    decltype(&ps_get_hyp) get_hyp = nullptr;
    decltype(&ps_seg_iter) seg_iter = nullptr;
    decltype(&ps_seg_next) seg_next = nullptr;
    decltype(&ps_seg_word) seg_word = nullptr;
    decltype(&ps_seg_frames) seg_frames = nullptr;
    decltype(&cmd_ln_init) settings_init = nullptr;
    decltype(&cmd_ln_free_r) settings_free = nullptr;
    decltype(&cmd_ln_int_r) settings_int = nullptr;
    decltype(&cmd_ln_float_r) settings_float = nullptr;
    decltype(&err_set_logfp) log_stream = nullptr;
    decltype(&err_set_callback) log_callback = nullptr;
    decltype(&fe_init_auto_r) front_init = nullptr;
    decltype(&fe_free) front_free = nullptr;
    decltype(&fe_get_input_size) front_input_size = nullptr;
    decltype(&fe_get_output_size) front_output_size = nullptr;
    decltype(&fe_start_stream) front_start_stream = nullptr;
    decltype(&fe_start_utt) front_start = nullptr;
    decltype(&fe_process_frames) front_process = nullptr;
    decltype(&fe_end_utt) front_end = nullptr;
};

struct Loaded {
    const Api* api = nullptr;
    std::string why;
};

// The library's entry points, or null when it cannot be loaded (then every call fails as the
// library's own calls fail: no configuration, no decoder, a negative result).
const Loaded& Load()
{
    static const Loaded loaded = [] {
        static Api api;
        Loaded result;
        void* library = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            const char* why = dlerror();
            result.why = std::string(kLibrary) + ": " + (why != nullptr ? why : "cannot be loaded");
            WriteLog(Warning, LogTag::kSpeechDecoderLibrary, "%s", result.why.c_str());
            return result;
        }
        // The library's own symbols and those of libsphinxbase, which it needs.
        auto resolve = [&](auto& slot, const char* name) {
            slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(dlsym(library, name));
            if (slot == nullptr && result.why.empty()) {
                result.why = std::string(kLibrary) + " lacks " + name;
                WriteLog(Warning, LogTag::kSpeechDecoderLibrary, "%s", result.why.c_str());
            }
        };
        resolve(api.args, "ps_args");
        resolve(api.init, "ps_init");
        resolve(api.free, "ps_free");
        resolve(api.get_config, "ps_get_config");
        resolve(api.start_stream, "ps_start_stream");
        resolve(api.start_utt, "ps_start_utt");
        resolve(api.process_raw, "ps_process_raw");
        resolve(api.end_utt, "ps_end_utt");
        resolve(api.get_hyp, "ps_get_hyp");
        resolve(api.seg_iter, "ps_seg_iter");
        resolve(api.seg_next, "ps_seg_next");
        resolve(api.seg_word, "ps_seg_word");
        resolve(api.seg_frames, "ps_seg_frames");
        resolve(api.settings_init, "cmd_ln_init");
        resolve(api.settings_free, "cmd_ln_free_r");
        resolve(api.settings_int, "cmd_ln_int_r");
        resolve(api.settings_float, "cmd_ln_float_r");
        resolve(api.log_stream, "err_set_logfp");
        resolve(api.log_callback, "err_set_callback");
        resolve(api.front_init, "fe_init_auto_r");
        resolve(api.front_free, "fe_free");
        resolve(api.front_input_size, "fe_get_input_size");
        resolve(api.front_output_size, "fe_get_output_size");
        resolve(api.front_start_stream, "fe_start_stream");
        resolve(api.front_start, "fe_start_utt");
        resolve(api.front_process, "fe_process_frames");
        resolve(api.front_end, "fe_end_utt");
        if (result.why.empty())
            result.api = &api;
        return result;
    }();
    return loaded;
}

const Api* Sphinx()
{
    return Load().api;
}

}  // namespace

bool PocketSphinxLoads(std::string* why)
{
    if (Sphinx() != nullptr)
        return true;
    if (why != nullptr)
        *why = Load().why;
    return false;
}

#pragma GCC visibility push(hidden)
extern "C" {

arg_t const* ps_args(void)
{
    return Sphinx() != nullptr ? Sphinx()->args() : nullptr;
}

ps_decoder_t* ps_init(cmd_ln_t* config)
{
    return Sphinx() != nullptr ? Sphinx()->init(config) : nullptr;
}

int ps_free(ps_decoder_t* ps)
{
    return Sphinx() != nullptr ? Sphinx()->free(ps) : 0;
}

cmd_ln_t* ps_get_config(ps_decoder_t* ps)
{
    return Sphinx() != nullptr ? Sphinx()->get_config(ps) : nullptr;
}

int ps_start_stream(ps_decoder_t* ps)
{
    return Sphinx() != nullptr ? Sphinx()->start_stream(ps) : -1;
}

int ps_start_utt(ps_decoder_t* ps)
{
    return Sphinx() != nullptr ? Sphinx()->start_utt(ps) : -1;
}

int ps_process_raw(ps_decoder_t* ps, int16 const* data, size_t n_samples, int no_search, int full_utt)
{
    return Sphinx() != nullptr ? Sphinx()->process_raw(ps, data, n_samples, no_search, full_utt) : -1;
}

int ps_end_utt(ps_decoder_t* ps)
{
    return Sphinx() != nullptr ? Sphinx()->end_utt(ps) : -1;
}

char const* ps_get_hyp(ps_decoder_t* ps, int32* out_best_score)
{
    return Sphinx() != nullptr ? Sphinx()->get_hyp(ps, out_best_score) : nullptr;
}

ps_seg_t* ps_seg_iter(ps_decoder_t* ps)
{
    return Sphinx() != nullptr ? Sphinx()->seg_iter(ps) : nullptr;
}

ps_seg_t* ps_seg_next(ps_seg_t* seg)
{
    return Sphinx() != nullptr ? Sphinx()->seg_next(seg) : nullptr;
}

char const* ps_seg_word(ps_seg_t* seg)
{
    return Sphinx() != nullptr ? Sphinx()->seg_word(seg) : nullptr;
}

void ps_seg_frames(ps_seg_t* seg, int* out_sf, int* out_ef)
{
    if (Sphinx() != nullptr)
        Sphinx()->seg_frames(seg, out_sf, out_ef);
}

// The settings come as name and value texts ending with a null; they are passed on as they
// came, followed by nulls, so the library sees the same list however long it was.
cmd_ln_t* cmd_ln_init(cmd_ln_t* inout_cmdln, arg_t const* defn, int32 strict, ...)
{
    if (Sphinx() == nullptr)
        return nullptr;
    std::array<const char*, kMostSettingTexts> texts{};
    va_list arguments;
    va_start(arguments, strict);
    size_t count = 0;
    bool ended = false;
    while (count < texts.size()) {
        const char* text = va_arg(arguments, const char*);
        if (text == nullptr) {
            ended = true;
            break;
        }
        texts[count++] = text;
    }
    if (!ended)
        ended = va_arg(arguments, const char*) == nullptr;
    va_end(arguments);
    if (!ended) {
        WriteLog(Warning, LogTag::kSpeechDecoderLibrary, "more than %zu setting texts for the decoder", texts.size());
        return nullptr;
    }
    const auto& t = texts;
    return Sphinx()->settings_init(inout_cmdln, defn, strict, t[0], t[1], t[2], t[3], t[4], t[5], t[6], t[7], t[8], t[9],
                                 t[10], t[11], t[12], t[13], t[14], t[15], t[16], t[17], t[18], t[19], t[20], t[21],
                                 t[22], t[23], t[24], t[25], t[26], t[27], t[28], t[29], t[30], t[31],
                                 static_cast<const char*>(nullptr));
}

int cmd_ln_free_r(cmd_ln_t* cmdln)
{
    return Sphinx() != nullptr ? Sphinx()->settings_free(cmdln) : 0;
}

long cmd_ln_int_r(cmd_ln_t* cmdln, char const* name)
{
    return Sphinx() != nullptr ? Sphinx()->settings_int(cmdln, name) : 0;
}

double cmd_ln_float_r(cmd_ln_t* cmdln, char const* name)
{
    return Sphinx() != nullptr ? Sphinx()->settings_float(cmdln, name) : 0.0;
}

void err_set_logfp(FILE* stream)
{
    if (Sphinx() != nullptr)
        Sphinx()->log_stream(stream);
}

void err_set_callback(err_cb_f callback, void* user_data)
{
    if (Sphinx() != nullptr)
        Sphinx()->log_callback(callback, user_data);
}

fe_t* fe_init_auto_r(cmd_ln_t* config)
{
    return Sphinx() != nullptr ? Sphinx()->front_init(config) : nullptr;
}

int fe_free(fe_t* fe)
{
    return Sphinx() != nullptr ? Sphinx()->front_free(fe) : 0;
}

void fe_get_input_size(fe_t* fe, int* out_frame_shift, int* out_frame_size)
{
    if (Sphinx() != nullptr)
        Sphinx()->front_input_size(fe, out_frame_shift, out_frame_size);
}

int fe_get_output_size(fe_t* fe)
{
    return Sphinx() != nullptr ? Sphinx()->front_output_size(fe) : 0;
}

void fe_start_stream(fe_t* fe)
{
    if (Sphinx() != nullptr)
        Sphinx()->front_start_stream(fe);
}

int fe_start_utt(fe_t* fe)
{
    return Sphinx() != nullptr ? Sphinx()->front_start(fe) : -1;
}

int fe_process_frames(fe_t* fe, int16 const** inout_spch, size_t* inout_nsamps, mfcc_t** buf_cep, int32* inout_nframes,
                      int32* out_frameidx)
{
    return Sphinx() != nullptr ? Sphinx()->front_process(fe, inout_spch, inout_nsamps, buf_cep, inout_nframes, out_frameidx)
                               : -1;
}

int fe_end_utt(fe_t* fe, mfcc_t* out_cepvector, int32* out_nframes)
{
    return Sphinx() != nullptr ? Sphinx()->front_end(fe, out_cepvector, out_nframes) : -1;
}

}  // extern "C"

#pragma GCC visibility pop
