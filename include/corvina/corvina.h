/* The decoder's C interface: an opaque handle that is fed MPEG audio Layer I
 * or II bytes (or opened on a memory block or a file) and read as
 * interleaved signed 16-bit PCM at the stream's own rate. */
#ifndef CORVINA_CORVINA_H
#define CORVINA_CORVINA_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct corvina_handle corvina_handle;

/* Results; negative values are errors. */
enum corvina_result {
    CORVINA_OK = 0,         /* samples were read */
    CORVINA_NEW_FORMAT = 1, /* the format is known or changed: ask corvina_format, read on */
    CORVINA_NEED_MORE = 2,  /* a fed handle has used up its bytes: feed more */
    CORVINA_DONE = 3,       /* the stream has ended */
    CORVINA_ERR_ARGUMENT = -1,
    CORVINA_ERR_MEMORY = -2,
    CORVINA_ERR_OPEN = -3,     /* the file could not be opened or read */
    CORVINA_ERR_SEEK = -4,     /* a fed handle cannot move */
    CORVINA_ERR_NO_STREAM = -5 /* no Layer I/II frame was found */
};

/* The codes of the warnings a stream raises while it is read. */
enum corvina_warning {
    CORVINA_WARN_ILLEGAL_ALLOCATION = 0, /* a frame holds an allocation the layer forbids */
    CORVINA_WARN_MODE_SWITCH = 1,        /* the channel count switches; the output keeps its own */
    CORVINA_WARN_RATE_SWITCH = 2,        /* the sample rate switches; the output keeps its own */
    CORVINA_WARN_MODE_FOLLOWED = 3,      /* the channel count switches and the output follows */
    CORVINA_WARN_RATE_FOLLOWED = 4,      /* the sample rate switches and the output follows */
    CORVINA_WARN_CONCEALED = 5,          /* damaged frames were concealed from a time on */
    CORVINA_WARN_SEEK_FAILED = 6,        /* the stream could not be moved */
    CORVINA_WARN_INPUT = 7 /* what the input told: a file not opened, a container without audio */
};

/* Takes a warning's code and its text (a plain sentence, no line break),
 * during the call that raised it. */
typedef void (*corvina_warning_handler)(void* user, int code, const char* text);

/* A handle that is given its bytes by corvina_feed. */
corvina_handle* corvina_new(void);
/* A handle over a copy of the nBytes at data; it can seek and tell its length. */
corvina_handle* corvina_open_memory(const void* data, size_t nBytes);
/* A handle over the file at path; null when it cannot be opened. Besides
 * elementary streams it reads WAVE files, program and transport streams and
 * CD sectors. */
corvina_handle* corvina_open_file(const char* path);
void corvina_close(corvina_handle* handle);

/* Adds nBytes at data to a fed handle's input. */
int corvina_feed(corvina_handle* handle, const void* data, size_t nBytes);
/* Marks a fed handle's input complete: its last frame is decoded, then DONE. */
int corvina_feed_end(corvina_handle* handle);
/* Reads up to nMax interleaved samples into pcm; *pnRead tells how many. */
int corvina_read(corvina_handle* handle, int16_t* pcm, size_t nMax, size_t* pnRead);
/* Rate (Hz) and channels (1 or 2) of the samples read; an error before the
 * first frame. */
int corvina_format(corvina_handle* handle, long* pnRate, int* pnChannels);
/* Samples per channel of the whole stream (a memory or file handle);
 * CORVINA_ERR_SEEK where it is not known (a fed handle, a pipe). */
int64_t corvina_length(corvina_handle* handle);
/* Moves to sample nSample per channel; the next read starts there, exactly as
 * a continuous decode would give it. */
int corvina_seek(corvina_handle* handle, int64_t nSample);
/* Hands the warnings from now on to handler (null: dropped) with user; those
 * the open raised come first. */
int corvina_set_warning_handler(corvina_handle* handle, corvina_warning_handler handler,
                                void* user);
/* The text of a result. */
const char* corvina_strerror(int result);

#ifdef __cplusplus
}
#endif

#endif
