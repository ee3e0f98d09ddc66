#pragma once
// Entry points for the server's request parsers: each feeds the bytes to
// one parser and aborts when what it accepted breaks that parser's promise.

#include <cstddef>
#include <cstdint>

void FuzzServerPlayerBody(const uint8_t* data, size_t size);
void FuzzServerAuthorization(const uint8_t* data, size_t size);
void FuzzServerRaceFile(const uint8_t* data, size_t size);
// Lines of KEY=VALUE, as the query parameters of a board read.
void FuzzServerBoardQuery(const uint8_t* data, size_t size);
// The first byte is the exit status, the rest what the verifier printed.
void FuzzServerVerifierOutput(const uint8_t* data, size_t size);
