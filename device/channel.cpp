#include "../app/varnel.h"
#include "device.h"

void sendCdCommand(const char* command, char* reply) {
    reply[0] = '\0';
    mciSendStringA(command, reply, CMD_SIZE, NULL);
}

/* A command that snprintf had to cut would name something other than what was
 * meant (another drive, another track), so it is never sent. */
static BOOL sendFormatted(int written, const char* command, char* reply) {
    if (written < 0 || written >= CMD_SIZE) {
        reply[0] = '\0';
        return FALSE;
    }
    sendCdCommand(command, reply);
    return TRUE;
}

BOOL sendCdCommandInt(const char* format, int value, char* reply) {
    char command[CMD_SIZE];
    return sendFormatted(snprintf(command, sizeof command, format, value), command, reply);
}

BOOL sendCdCommandText(const char* format, const char* value, char* reply) {
    char command[CMD_SIZE];
    return sendFormatted(snprintf(command, sizeof command, format, value), command, reply);
}

int readDecimal(const char* text) {
    const char* p = text;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r') p++;
    BOOL negative = FALSE;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        p++;
    }
    /* Unsigned arithmetic: the value wraps modulo 2^32 as the reading requires. */
    unsigned int value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10u + (unsigned int)(*p - '0');
        p++;
    }
    if (negative) value = 0u - value;
    return (int)value;
}

BOOL exactMatch(const char* text, const char* word) {
    return strcmp(text, word) == 0;
}

BOOL fourCharMatch(const char* text, const char* word) {
    return strncmp(text, word, 4) == 0;
}
