// Binds the control to the packing and unpacking engines.
#include "archive/component/src/engines.h"
#include "archive/pack/pack_engine.h"
#include "archive/unpack/unpack_engine.h"

namespace pavo::arcvane {

namespace {

RunProgress from_engine(const zip::FileProgress& p) {
    RunProgress r;
    r.name = p.name;
    r.size = p.size;
    r.compressed_size = p.compressed_size;
    r.file_percent = p.file_percent;
    r.total_percent = p.total_percent;
    r.done = p.done;
    return r;
}

}  // namespace

Engines real_engines() {
    Engines e;
    e.pack = [](int argc, const char* const* argv, const RunCallbacks& cb) {
        zip::PackCallbacks pc;
        pc.progress = [&cb](const zip::FileProgress& p) {
            if (cb.progress) cb.progress(from_engine(p));
        };
        pc.abort_requested = [&cb] { return cb.abort_requested && cb.abort_requested(); };
        return zip::pack_main(argc, argv, pc);
    };
    e.unpack = [](int argc, const char* const* argv, const RunCallbacks& cb) {
        zip::UnpackCallbacks uc;
        uc.progress = [&cb](const zip::FileProgress& p) {
            if (cb.progress) cb.progress(from_engine(p));
        };
        uc.member_info = [&cb](const zip::MemberInfo& m) {
            if (!cb.member) return;
            RunMember r;
            r.name = m.name;
            r.comment = m.comment;
            r.uncompressed_size = m.uncompressed_size;
            r.compressed_size = m.compressed_size;
            r.ratio = m.ratio;
            r.crc32 = m.crc32;
            r.mtime = m.mtime;
            r.encrypted = m.encrypted;
            cb.member(r);
        };
        uc.abort_requested = [&cb] { return cb.abort_requested && cb.abort_requested(); };
        return zip::unpack_main(argc, argv, uc);
    };
    return e;
}

}  // namespace pavo::arcvane
