// One HTTP answer as the routes build it and the engine sends it: the status, the headers
// (Content-Length is the engine's, from the body) and the body.
#ifndef ZT_HTTPD_HTTP_ANSWER_H
#define ZT_HTTPD_HTTP_ANSWER_H

#include <string>
#include <utility>
#include <vector>

struct HttpAnswer {
    int status = 500;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
};

// A short plain-text answer: errors and refusals ("Not found\n").
HttpAnswer textAnswer(int status, const std::string &text);

#endif
