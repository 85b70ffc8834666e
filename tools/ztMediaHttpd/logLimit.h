// The worker's diagnostics, rate-limited: a client that provokes an error per request must not
// grow standard error without bound. Lines beyond the budget are counted and the count is
// reported with the next line let through. Every diagnostic of the worker goes here: its own,
// the HTTP engine's and the responders' (installed as the kernel log's sink).
#ifndef ZT_HTTPD_LOG_LIMIT_H
#define ZT_HTTPD_LOG_LIMIT_H

#include <cstdarg>

// Writes one line ("ztMediaHttpd: " + text, newline added) unless the budget is spent.
void logLine(const char *format, ...) __attribute__((format(printf, 1, 2)));
void logLineV(const char *format, va_list ap) __attribute__((format(printf, 1, 0)));
// Routes the responders' kernel-log lines through the same budget.
void limitResponderLog();

#endif
