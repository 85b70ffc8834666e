// One HTTP answer as the routes build it and the engine sends it: the status, the headers
// (Content-Length is the engine's, from the body) and the body, or instead of the body a
// stretch of an open file (which the engine sends with sendfile and then closes).
#ifndef ZT_HTTPD_HTTP_ANSWER_H
#define ZT_HTTPD_HTTP_ANSWER_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct HttpAnswer {
    int status = 500;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    int fileFd = -1;  // >= 0: send fileLength bytes of it from fileOffset instead of body
    uint64_t fileOffset = 0;
    uint64_t fileLength = 0;
};

// A short plain-text answer: errors and refusals ("Not found\n").
HttpAnswer textAnswer(int status, const std::string &text);

#endif
