#include "platform/service/heap_tuning.h"
#include "service/host/geolabel_service.h"

int main(int argc, char** argv) {
    vgl::TuneHeapForConcurrentRequests();
    return vgl::RunGeoLabelService(argc, argv);
}
