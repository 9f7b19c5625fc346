#pragma once
// (being written)
namespace quillon {}
