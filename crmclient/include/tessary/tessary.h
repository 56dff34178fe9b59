#pragma once
// Everything a program needs to talk to the CRM through tessary.

#include "tessary/ContactService.h"
#include "tessary/DataService.h"
#include "tessary/Encoding.h"
#include "tessary/FileService.h"
#include "tessary/Notifier.h"
#include "tessary/OtherService.h"
#include "tessary/RpcRequest.h"
#include "tessary/RpcValue.h"
#include "tessary/clsHelpers.h"
#include "tessary/clsInfusionsoftAPI.h"
