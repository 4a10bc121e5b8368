// Turns libcurl's result for a failed transfer into an error number and a text a user
// understands, naming the cause: the server, the address, a limit, or the connection.
#pragma once

#include <curl/curl.h>

#include <string>

#include "Component.h"
#include "CurlTransfer.h"
#include "HttpOptions.h"

// code is libcurl's result for the transfer of address on easy, state what its callbacks gathered.
ComponentError TransferFailure(CURLcode code, CURL* easy, const TransferState& state,
                               const std::string& address, const HttpOptions& options);
