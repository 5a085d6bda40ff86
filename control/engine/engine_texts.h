#pragma once
// The numbers of the texts the engine shows: strings the page registered
// beforehand (RegisterString); an unregistered one shows empty.
enum EngineText : long {
  kTextQuestionCaption = 100,  // resume question, battery notice, self update
  kTextResumeQuestion = 101,
  kTextNotInstalledCaption = 200,
  kTextNotInstalled = 201,
  kTextDownloadTitle = 300,
  kTextStatusLabel = 301,
  kTextSizeUnit = 302,
  kTextRemainingLabel = 303,
  kTextHours = 304,
  kTextMinutes = 305,
  kTextSeconds = 306,
  kTextCancel = 307,
  kTextSecondPassTitle = 400,
  kTextFirstPassTitle = 401,
  kTextRestartCaption = 402,
  kTextShutdownCaption = 403,
  kTextRestart = 404,
  kTextShutdown = 405,
  kTextOnBattery = 406,
  kTextSelfUpdateFailed = 500,
  kTextSelfUpdateSucceeded = 501,
  kTextControlName = 502,
  kTextSelfUpdateQuestion = 503,
  kTextSelfUpdateDeclined = 504,
};
