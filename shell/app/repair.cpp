#include "repair.h"

#include <cstdio>
#include <cstring>

#include "settings.h"
#include "zelmsh_ids.h"

const char kRepairTypeTemplate[] = "RepairType";
const char kRepairProgressTemplate[] = "RepairProgress";

namespace {

enum {
  kStartRepair = WM_APP + 1,  // posted to the progress dialog once it shows
};

// --- Repair type ---------------------------------------------------------------

INT_PTR CALLBACK RepairTypeDlgProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG: {
      MoveToStoredPosition(dlg, kPositionRepairType);
      bool mailbox = lp != 0;
      EnableWindow(GetDlgItem(dlg, IDC_REPAIR_MAILBOX), mailbox);
      CheckRadioButton(dlg, IDC_REPAIR_MAILBOX, IDC_REPAIR_SYSTEM,
                       mailbox ? IDC_REPAIR_MAILBOX : IDC_REPAIR_SYSTEM);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDOK:
          SaveWindowPosition(dlg, kPositionRepairType);
          EndDialog(dlg, IsDlgButtonChecked(dlg, IDC_REPAIR_MAILBOX) == BST_CHECKED
                             ? kRepairMailbox
                             : kRepairSystem);
          return TRUE;
        case IDCANCEL:
          SaveWindowPosition(dlg, kPositionRepairType);
          EndDialog(dlg, kRepairCancelled);
          return TRUE;
        case IDC_HELP_BUTTON:
          return TRUE;
      }
      break;
  }
  return FALSE;
}

// --- Progress --------------------------------------------------------------------

// The dialog's state while it lives; on the stack of RunRepairProgressDialog.
struct ProgressState {
  RepairJob* job;
  HWND dialog;
  bool running;        // the repair command is under way
  bool started;        // the store said it started: a STOP would now reach it
  bool stopWanted;     // Cancel pressed while it ran
  bool stopSent;
  bool closeWhenDone;
};

void SetField(HWND dlg, int id, const char* text) { SetDlgItemTextA(dlg, id, text); }

void SetAction(ProgressState* st, const char* text) {
  snprintf(st->job->summary, sizeof st->job->summary, "%s", text);
  SetField(st->dialog, IDC_PROGRESS_ACTION, text);
}

void Finish(ProgressState* st, RepairJob::Outcome outcome, const char* text) {
  st->running = false;
  st->job->outcome = outcome;
  SetAction(st, text);
  // The repair is over: the button now only closes the dialog.
  SetDlgItemTextA(st->dialog, IDCANCEL, "Close");
  EnableWindow(GetDlgItem(st->dialog, IDCANCEL), TRUE);
  if (st->closeWhenDone) {
    SaveWindowPosition(st->dialog, kPositionRepairProgress);
    EndDialog(st->dialog, 0);
  }
}

// Runs the messages of this thread, so the dialog repaints and Cancel works
// while the store works.
void Pump(ProgressState* st) {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // The program is ending: stop the repair, and end the loop after it.
      PostQuitMessage(static_cast<int>(msg.wParam));
      st->stopWanted = true;
      st->closeWhenDone = true;
      return;
    }
    if (IsDialogMessageA(st->dialog, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

void SendStopWhenWanted(ProgressState* st) {
  // Before the store started, a STOP would be a command of its own.
  if (!st->started || !st->stopWanted || st->stopSent) return;
  st->stopSent = true;
  SendAll(st->job->connection, kRepairStopLine, static_cast<int>(strlen(kRepairStopLine)));
}

// While a read waits for the store: the dialog's messages, and a STOP once
// Cancel asked for one.
void WhileWaiting(void* context) {
  auto* st = static_cast<ProgressState*>(context);
  Pump(st);
  SendStopWhenWanted(st);
}

// One reply, waited for with the dialog alive: it repaints and Cancel works
// also while a store drips its line, and the read keeps its bound.
LineRead ReadReplyPumping(ProgressState* st, char* text) {
  SendStopWhenWanted(st);
  StoreWaitHookScope pumping(WhileWaiting, st);
  return ReadLine(st->job->connection, text, kReplyCapacity, true);
}

void ShowProgress(ProgressState* st, const RepairProgressLine& p) {
  SetField(st->dialog, IDC_PROGRESS_USER, p.user);
  SetField(st->dialog, IDC_PROGRESS_MAILBOX, p.mailbox);
  char errors[16];
  snprintf(errors, sizeof errors, "%lu", p.errors);
  SetField(st->dialog, IDC_PROGRESS_ERRORS, errors);
  if (!st->stopWanted) SetAction(st, p.action);
}

void RunRepair(ProgressState* st) {
  RepairJob* job = st->job;
  StoreConnection* c = job->connection;
  char text[kReplyCapacity];
  char command[kCommandSize];
  char line[kRepairTextSize];
  st->running = true;
  SetAction(st, "Asking the server to start...");

  if (job->type == kRepairMailbox) {
    // REPAIR MBOX names a mailbox of the user the store has selected.
    if (!FormatCommand(command, "USER %s\r\n", job->user) ||
        !FormatRepairCommand(job->type, job->checkOnly, job->mailbox, command + strlen(command))) {
      Finish(st, RepairJob::kRefused, "The mailbox or user name is too long to send.");
      return;
    }
  } else {
    FormatRepairCommand(job->type, job->checkOnly, nullptr, command);
  }
  if (!SendAll(c, command, static_cast<int>(strlen(command)))) {
    Finish(st, RepairJob::kLost, "The connection to the server is lost.");
    return;
  }
  LineRead r;
  if (job->type == kRepairMailbox) {
    r = ReadReplyPumping(st, text);
    if (r.ok && r.code != 1000) {
      // The user is gone: the repair command is refused without one, and
      // its answer is read so the connection stays in step.
      LineRead second = ReadReplyPumping(st, text);
      (void)second;
      FormatRepairRefusal(r.code, text, line, sizeof line);
      Finish(st, RepairJob::kRefused, line);
      return;
    }
  }
  r = ReadReplyPumping(st, text);
  if (!r.ok) {
    Finish(st, RepairJob::kLost, "The connection to the server was lost.");
    return;
  }
  if (r.code != kCodeRepairStarted) {
    FormatRepairRefusal(r.code, text, line, sizeof line);
    Finish(st, RepairJob::kRefused, line);
    return;
  }
  st->started = true;
  SetAction(st, st->stopWanted ? "Stopping..." : "Repair started.");
  for (;;) {
    r = ReadReplyPumping(st, text);
    if (!r.ok) {
      Finish(st, RepairJob::kLost, "The connection to the server was lost during the repair.");
      return;
    }
    if (r.code == kCodeRepairProgress) {
      RepairProgressLine p;
      if (ParseRepairProgress(text, &p)) ShowProgress(st, p);
      continue;
    }
    if (r.code == 1000) break;
    // Anything else ends the repair with the store's reason.
    snprintf(line, sizeof line, "The repair ended with an error: %s", text);
    Finish(st, RepairJob::kRefused, line);
    return;
  }
  RepairResult result;
  if (!ParseRepairResult(text, &result)) {
    snprintf(line, sizeof line, "The repair ended: %s", text);
    Finish(st, RepairJob::kFinished, line);
    return;
  }
  job->result = result;
  // A STOP that came too late for the repair gets an answer of its own.
  if (st->stopSent && !result.stopped) ReadReplyPumping(st, text);
  FormatRepairSummary(result, job->checkOnly, line, sizeof line);
  Finish(st, result.stopped ? RepairJob::kStopped : RepairJob::kFinished, line);
}

void OnProgressInit(HWND dlg, ProgressState* st) {
  st->dialog = dlg;
  SetWindowLongPtrA(dlg, DWLP_USER, reinterpret_cast<LONG_PTR>(st));
  MoveToStoredPosition(dlg, kPositionRepairProgress);
  const RepairJob* job = st->job;
  bool one = job->type == kRepairMailbox;
  SetField(dlg, IDC_PROGRESS_MAILBOX, one ? job->mailbox : "(every mailbox)");
  SetField(dlg, IDC_PROGRESS_USER, one ? job->user : "(every user)");
  PostMessageA(dlg, kStartRepair, 0, 0);
  // Cancel is the one thing to press; the fields are only read.
  SetFocus(GetDlgItem(dlg, IDCANCEL));
}

void OnProgressCancel(ProgressState* st) {
  if (st->running) {
    // The store finishes the mailbox in hand; the dialog closes once it
    // confirmed, so the connection stays usable.
    st->stopWanted = true;
    st->closeWhenDone = true;
    SetAction(st, "Stopping...");
    EnableWindow(GetDlgItem(st->dialog, IDCANCEL), FALSE);
    return;
  }
  SaveWindowPosition(st->dialog, kPositionRepairProgress);
  EndDialog(st->dialog, 0);
}

INT_PTR CALLBACK RepairProgressDlgProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  auto* st = reinterpret_cast<ProgressState*>(GetWindowLongPtrA(dlg, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG:
      OnProgressInit(dlg, reinterpret_cast<ProgressState*>(lp));
      return FALSE;
    case kStartRepair:
      if (st && !st->running && st->job->outcome == RepairJob::kNotRun) {
        // The dialog box shows itself only once its queue is empty, which
        // it never is while the repair pumps: shown and painted first.
        ShowWindow(dlg, SW_SHOW);
        UpdateWindow(dlg);
        RunRepair(st);
      }
      return TRUE;
    case WM_COMMAND:
      if (st && LOWORD(wp) == IDCANCEL) {
        OnProgressCancel(st);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

INT_PTR RunRepairTypeDialog(HWND owner, bool mailboxOffered) {
  INT_PTR r = DialogBoxParamA(GetModuleHandleA(nullptr), kRepairTypeTemplate, owner,
                              RepairTypeDlgProc, mailboxOffered ? 1 : 0);
  return r == kRepairMailbox || r == kRepairSystem ? r : static_cast<INT_PTR>(kRepairCancelled);
}

int RunRepairProgressDialog(HWND owner, RepairJob* job) {
  job->outcome = RepairJob::kNotRun;
  job->summary[0] = '\0';
  memset(&job->result, 0, sizeof job->result);
  ProgressState st = {};
  st.job = job;
  DialogBoxParamA(GetModuleHandleA(nullptr), kRepairProgressTemplate, owner, RepairProgressDlgProc,
                  reinterpret_cast<LPARAM>(&st));
  return job->outcome;
}
