#include "toolkit/IBitmap.h"

#include "toolkit/BitmapData.h"

namespace
{
const std::string kNoName;
}

int IBitmap::W() const { return data ? data->W() : 0; }
int IBitmap::H() const { return data ? data->H() : 0; }
int IBitmap::N() const { return data ? data->N() : 1; }
bool IBitmap::GetFramesAreHorizontal() const { return data && data->Horizontal(); }
int IBitmap::FW() const { return data ? data->FW() : 0; }
int IBitmap::FH() const { return data ? data->FH() : 0; }
const std::string& IBitmap::GetResourceName() const { return data ? data->Name() : kNoName; }
