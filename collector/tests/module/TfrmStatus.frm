// The status banner in Swedish: a language module carries whole copies of the forms.
object frmStatus: TfrmStatus
  Left = 0
  Top = 0
  BorderIcons = [biSystemMenu]
  BorderStyle = bsSingle
  Caption = 'ABL 625 data'#246'verf'#246'ring till Wardvorta'
  ClientHeight = 45
  ClientWidth = 688
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  FormStyle = fsStayOnTop
  OldCreateOrder = False
  Position = poDesktopCenter
  OnShow = FormShow
  PixelsPerInch = 96
  TextHeight = 13
  object LblStatus: TCapLabel
    Left = 0
    Top = 0
    Width = 688
    Height = 45
    Align = alClient
    Color = clAqua
    ColorScheme = csCustom
    CustomSettings.HighlightColor = clYellow
    Font.Charset = DEFAULT_CHARSET
    Font.Color = clOlive
    Font.Height = -19
    Font.Name = 'MS Sans Serif'
    Font.Style = []
    ParentColor = False
    ParentFont = False
    Transparent = False
  end
  object Timer1: TTimer
    Enabled = False
    Interval = 3000
    OnTimer = Timer1Timer
  end
end
